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
  // The menu opened on the entry at `index` (-1: none under the pointer) and
  // "Remove From Game" chosen.
  void removeFromGame(int index);

 signals:
  void kickRequested(int seat);

 private:
  QListWidget* listbox_spys_;
  QMenu* popup_kickhim_;
  QAction* RemoveFromGame1_;
  // The entry the menu was opened on: the list may change while the menu is
  // open, and only that spectator may be removed.
  QString clicked_;
  void remember(int index);
  void removeClicked();
};

}  // namespace tw
