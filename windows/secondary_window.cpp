// The shared look and manners of the secondary windows.
#include "windows/secondary_window.h"

#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>

#include "windows/pictures.h"

namespace tw {

SecondaryWindow::SecondaryWindow(QWidget* parent, const char* objectName, const QString& title)
    : QDialog(parent) {
  setObjectName(QString::fromLatin1(objectName));
  setWindowTitle(title);
  setModal(false);
}

QLabel* SecondaryWindow::label(const QString& text, const char* name) {
  auto* l = new QLabel(text, this);
  if (name) l->setObjectName(QString::fromLatin1(name));
  // Names and words come from other players: never read them as markup.
  l->setTextFormat(Qt::PlainText);
  lightText(l);
  return l;
}

void SecondaryWindow::lightText(QWidget* widget) {
  QPalette p = widget->palette();
  p.setColor(QPalette::WindowText, Qt::white);
  widget->setPalette(p);
}

QPushButton* SecondaryWindow::button(const QString& caption, const char* name, bool mainAction) {
  auto* b = new QPushButton(caption, this);
  b->setObjectName(QString::fromLatin1(name));
  // Only the main action answers Enter, whichever button has the focus.
  b->setAutoDefault(false);
  b->setDefault(mainAction);
  return b;
}

void askQuestion(QWidget* parent, const QString& title, const QString& question, std::function<void(bool)> answer) {
  auto* box = new QMessageBox(QMessageBox::Question, title, question, QMessageBox::Yes | QMessageBox::No, parent);
  box->setObjectName(QStringLiteral("question"));
  box->setTextFormat(Qt::PlainText);
  box->setAttribute(Qt::WA_DeleteOnClose);
  // Enter and Escape keep things as they are; only a deliberate Yes acts.
  box->setDefaultButton(QMessageBox::No);
  box->setEscapeButton(QMessageBox::No);
  box->setWindowModality(Qt::WindowModal);
  QObject::connect(box, &QMessageBox::finished, box, [box, answer = std::move(answer)](int) {
    answer(box->clickedButton() == box->button(QMessageBox::Yes));
  });
  box->open();
}

void tellNotice(QWidget* parent, const QString& title, const QString& text) {
  auto* box = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
  box->setObjectName(QStringLiteral("notice"));
  box->setTextFormat(Qt::PlainText);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->show();
}

void SecondaryWindow::ask(const QString& question, std::function<void(bool)> answer) {
  askQuestion(this, windowTitle(), question, std::move(answer));
}

void SecondaryWindow::tell(const QString& text) { tellNotice(this, windowTitle(), text); }

void SecondaryWindow::paintEvent(QPaintEvent*) {
  if (background_.deviceIndependentSize().toSize() != size())
    background_ = pictures::background(width(), height());
  QPainter painter(this);
  painter.drawPixmap(rect(), background_);
}

}  // namespace tw
