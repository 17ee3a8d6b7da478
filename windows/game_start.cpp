// The game options window.
#include "windows/game_start.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "rules/game_rules.h"

namespace tw {

namespace {

// A number changed only by its arrows (or the arrow keys), never typed.
QSpinBox* spinner(QWidget* parent, const char* name, int min, int max, int value) {
  auto* box = new QSpinBox(parent);
  box->setObjectName(QLatin1String(name));
  box->setRange(min, max);
  box->setSingleStep(5);
  box->setValue(value);
  box->setGroupSeparatorShown(false);
  box->findChild<QLineEdit*>()->setReadOnly(true);
  return box;
}

}  // namespace

Tgamestart::Tgamestart(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("gamestartform"));
  setWindowTitle(QStringLiteral("Tilewhirl - Game Start"));
  auto* layout = new QVBoxLayout(this);
  auto* heading = new QLabel(QStringLiteral("Game Options"), this);
  QFont bold = heading->font();
  bold.setBold(true);
  bold.setPointSize(bold.pointSize() + 2);
  heading->setFont(bold);
  layout->addWidget(heading);

  auto* form = new QFormLayout;
  edit_playtoscore_ = spinner(this, "edit_playtoscore", 100, 500, 250);
  edit_creationtime_ = spinner(this, "edit_creationtime", 45, 120, 60);
  form->addRow(QStringLiteral("Play to Score:"), edit_playtoscore_);
  form->addRow(QStringLiteral("Creation Time:"), edit_creationtime_);
  layout->addLayout(form);
  box_viewable_ = new QCheckBox(QStringLiteral("Tiles Viewable"), this);
  box_viewable_->setObjectName(QStringLiteral("box_viewable"));
  box_4player_ = new QCheckBox(QStringLiteral("4 Player Max"), this);
  box_4player_->setObjectName(QStringLiteral("box_4player"));
  layout->addWidget(box_viewable_);
  layout->addWidget(box_4player_);

  auto* modeBox = new QGroupBox(QStringLiteral("Game Mode"), this);
  modeBox->setObjectName(QStringLiteral("label_gamemode"));
  auto* modeLayout = new QVBoxLayout(modeBox);
  modes_ = new QButtonGroup(this);
  modes_->setExclusive(true);  // clicking the checked mode keeps it checked
  for (const rules::GameMode& mode : rules::kGameModes) {
    auto* box = new QCheckBox(QString::fromLatin1(mode.caption), modeBox);
    box->setObjectName(QStringLiteral("game_%1").arg(mode.number));
    modes_->addButton(box, mode.number);
    modeLayout->addWidget(box);
  }
  modes_->button(rules::kBlind)->setChecked(true);
  layout->addWidget(modeBox);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* start = buttons->addButton(QStringLiteral("Start"), QDialogButtonBox::AcceptRole);
  start->setObjectName(QStringLiteral("BUTTON_START"));
  start->setDefault(true);
  buttons->addButton(QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(start, &QPushButton::clicked, this, [this] {
    hide();
    emit startRequested(options());
  });
  layout->addWidget(buttons);
  setFixedSize(sizeHint());
}

void Tgamestart::load(const GameOptions& o) {
  edit_playtoscore_->setValue(o.playToScore);
  edit_creationtime_->setValue(o.timePerTurn);
  box_viewable_->setChecked(o.viewable);
  box_4player_->setChecked(o.fourPlayer);
  QAbstractButton* mode = modes_->button(o.gameMode);
  (mode ? mode : modes_->button(1))->setChecked(true);
}

GameOptions Tgamestart::options() const {
  GameOptions o;
  o.playToScore = edit_playtoscore_->value();
  o.timePerTurn = edit_creationtime_->value();
  o.viewable = box_viewable_->isChecked();
  o.fourPlayer = box_4player_->isChecked();
  o.gameMode = modes_->checkedId() >= 1 ? modes_->checkedId() : rules::kBlind;
  return o;
}

}  // namespace tw
