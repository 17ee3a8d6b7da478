// Tphrases: the editor of the nine quick phrases. "Done" hands them to the
// main window, whose session core puts them on the buttons and saves them.
#pragma once

#include <QStringList>
#include <array>
#include <string>

#include "client/settings.h"
#include "windows/secondary_window.h"

class QLineEdit;

namespace tw {

class Tphrases final : public SecondaryWindow {
  Q_OBJECT

 public:
  static constexpr int kPhraseCount = tw::kPhraseCount;
  static constexpr int kMaxLength = 50;

  explicit Tphrases(QWidget* parent = nullptr);

  // "Phrase List": the buttons' phrases into the fields, then the window.
  void showPhrases(const QStringList& phrases);
  QStringList phrases() const;

 signals:
  // After "Done": the nine phrases, in button order.
  void phrasesChanged(const QStringList& phrases);

 private:
  void done_();

  std::array<QLineEdit*, kPhraseCount> phrase_{};
};

}  // namespace tw
