// What every secondary window shares: it is a non-modal dialog, so Escape
// closes it without acting and Enter presses its main action; it shows the
// main window's background; and it asks its questions without blocking.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <functional>

class QLabel;
class QPushButton;

namespace tw {

// The message boxes of every window. Asks a Yes/No question in a box modal to
// `parent`'s window only and calls `answer` with the reply (false for No and
// for Escape); the box is named "question".
void askQuestion(QWidget* parent, const QString& title, const QString& question, std::function<void(bool)> answer);
// Tells the player something in a box, named "notice", that blocks nothing.
void tellNotice(QWidget* parent, const QString& title, const QString& text);

class SecondaryWindow : public QDialog {
  Q_OBJECT

 public:
  SecondaryWindow(QWidget* parent, const char* objectName, const QString& title);

  // A push button of this window; the main action is made the default.
  QPushButton* button(const QString& caption, const char* name, bool mainAction = false);
  // A label of plain text in a light colour, readable on the background.
  QLabel* label(const QString& text, const char* name = nullptr);
  static void lightText(QWidget* widget);

  // Asks a Yes/No question in a window-modal box and calls `answer` with the
  // reply (false for No and for Escape).
  void ask(const QString& question, std::function<void(bool)> answer);
  // Tells the player something in a box that blocks nothing.
  void tell(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap background_;
};

}  // namespace tw
