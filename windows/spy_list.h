// Tspylist: the list of spectators, with "Remove From Game" for the host,
// and, in the copy that runs the host, the addresses of removed players that
// are kept out, with "Let Back In".
#pragma once

#include <utility>

#include "windows/secondary_window.h"

class QListWidget;
class QMenu;
class QAction;
class QLabel;
class QPushButton;

namespace tw {

class Tspylist : public SecondaryWindow {
  Q_OBJECT

 public:
  explicit Tspylist(QWidget* parent = nullptr);

  // A spectator: the seat the host knows him by, and the entry shown.
  struct Entry {
    int seat = 0;
    QString text;
    friend bool operator==(const Entry&, const Entry&) = default;
  };
  void setEntries(const QList<Entry>& entries);
  QStringList entries() const;
  // Only the hosting copy may remove spectators.
  void setKickEnabled(bool enabled);
  // The kept-out addresses, each with the name of the player removed; the
  // part of the window that lists them shows only while there are any.
  void setKeptOut(const QList<std::pair<QString, QString>>& addressesAndNames);
  // The menu opened on the entry at `index` (-1: none under the pointer) and
  // "Remove From Game" chosen.
  void removeFromGame(int index);

 signals:
  void kickRequested(int seat);
  void letBackInRequested(const QString& address);

 private:
  QListWidget* listbox_spys_;
  QMenu* popup_kickhim_;
  QAction* RemoveFromGame1_;
  QLabel* label_keptout_;
  QListWidget* listbox_keptout_;
  QPushButton* button_letbackin_;
  // The entry the menu was opened on: the list may change while the menu is
  // open, and only that spectator may be removed.
  Entry clicked_;
  void remember(int index);
  void removeClicked();
};

}  // namespace tw
