// InviteBar: the hosting window's invite code, from the game directory, with
// a button that copies it for the player to send to friends, and how players
// from outside reach the game (or what to do when nothing does).
#pragma once

#include <QWidget>

#include "discovery/game_listing.h"

class QLabel;

namespace tw {

class InviteBar final : public QWidget {
  Q_OBJECT

 public:
  explicit InviteBar(QWidget* parent = nullptr);
  void showCode(const QString& shownCode);
  // `how.gamePort`: the port to open on the router when nothing else works.
  void showReachability(const tw::Reachability& how);

 private:
  QLabel* label_code_;
  QLabel* label_reach_;
  QString code_;
};

}  // namespace tw
