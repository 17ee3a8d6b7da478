// Ttallylist: the tally window over the program's tally; it shows the own
// totals and the record against each tallied opponent, and asks before it
// deletes.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "client/tally.h"
#include "windows/secondary_window.h"

class QListWidget;
class QListWidgetItem;

namespace tw {

class Ttallylist final : public SecondaryWindow {
  Q_OBJECT

 public:
  // Shows `tally`, which outlives the window; a damaged file it replaced is
  // reported to the player once the event loop runs.
  explicit Ttallylist(Tally& tally, QWidget* parent = nullptr);
  ~Ttallylist() override;

  Tally& tally() { return tally_; }
  // "View Tally": the names in the other playing seats, then the window.
  void viewTally(const std::vector<std::string>& players);

 private:
  void queueRefresh();
  void refresh();
  void showSelected();
  void checklistChanged(QListWidgetItem* item);
  void tallyChanged(QListWidgetItem* item);
  void resetTally();

  Tally& tally_;
  QListWidget* checklist_ = nullptr;
  QListWidget* listbox_tally_ = nullptr;
  std::array<QLabel*, 5> mylabel_{};
  std::array<QLabel*, 9> label_{};
  QLabel* label_caption_ = nullptr;
  QLabel* label_wins_ = nullptr;
  bool refreshing_ = false;
  bool refreshQueued_ = false;
};

}  // namespace tw
