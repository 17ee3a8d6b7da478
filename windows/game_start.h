// Tgamestart: the game options window of the hosting player. It holds the
// score that ends the game, the time per turn, the two switches and the game
// mode, and gives them back when Start is pressed; it knows no rules.
#pragma once

#include <QDialog>

#include "client/client_session.h"

class QButtonGroup;
class QCheckBox;
class QSpinBox;

namespace tw {

class Tgamestart final : public QDialog {
  Q_OBJECT

 public:
  explicit Tgamestart(QWidget* parent = nullptr);

  // Shows the stored options; values out of range are brought into it.
  void load(const GameOptions& options);
  GameOptions options() const;

 signals:
  // Start was pressed; the window has hidden itself.
  void startRequested(const tw::GameOptions& options);

 private:
  QSpinBox* edit_playtoscore_;
  QSpinBox* edit_creationtime_;
  QCheckBox* box_viewable_;
  QCheckBox* box_4player_;
  QButtonGroup* modes_;
};

}  // namespace tw
