// Thelp: the help pages, one per topic, chosen from a side panel of buttons.
#pragma once

#include <QStringList>

#include "windows/secondary_window.h"

class QStackedWidget;
class QTextBrowser;

namespace tw {

class Thelp final : public SecondaryWindow {
  Q_OBJECT

 public:
  explicit Thelp(QWidget* parent = nullptr);

  // Brings page `number` (1..6, 11) to the front under `caption`.
  void showPage(int number, const QString& caption);
  int currentPage() const;

  // The scoring page, written from the rules the host scores with.
  static QString scoringPage();

 signals:
  void aboutRequested();

 private:
  QStackedWidget* pages_ = nullptr;
  QLabel* label_caption_ = nullptr;
};

}  // namespace tw
