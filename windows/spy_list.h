// Tspylist: the list of spectators, with "Remove From Game" for the host.
#pragma once

#include "secondary_window.h"

class QListWidget;
class QMenu;
class QAction;

namespace tw {

class Tspylist : public SecondaryWindow {
  Q_OBJECT

 public:
  explicit Tspylist(QWidget* parent = nullptr);

  void setEntries(const QStringList& entries);
  QStringList entries() const;
  // Only the hosting copy may remove spectators.
  void setKickEnabled(bool enabled);
  // "Remove From Game" on the entry at `index` (-1: none under the pointer).
  void removeFromGame(int index);

 signals:
  void kickRequested(int seat);

 private:
  QListWidget* listbox_spys_;
  QMenu* popup_kickhim_;
  QAction* RemoveFromGame1_;
  int hovered_ = -1;
};

}  // namespace tw
