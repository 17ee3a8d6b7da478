// InviteBar: the hosting window's invite code, from the game directory, with
// a button that copies it for the player to send to friends.
#pragma once

#include <QWidget>

#include "game_listing.h"

class QLabel;

namespace tw {

class InviteBar final : public QWidget {
  Q_OBJECT

 public:
  explicit InviteBar(QWidget* parent = nullptr);
  void showCode(const QString& shownCode);
  void showReachability(const tw::Reachability& how);

 private:
  QLabel* label_code_;
  QLabel* label_reach_;
  QString code_;
};

}  // namespace tw
