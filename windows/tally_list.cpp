// The tally window: lists, labels and the two questions it asks.
#include "windows/tally_list.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "client/cp1252.h"

namespace tw {

namespace {

// A list entry keeps its name's bytes: the shown text may not give them back
// (a byte the code page leaves undefined shows as "?").
constexpr int kNameRole = Qt::UserRole;

QListWidgetItem* nameItem(const std::string& name, QListWidget* list) {
  auto* item = new QListWidgetItem(fromCp1252(name), list);
  item->setData(kNameRole, QByteArray(name.data(), qsizetype(name.size())));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
  return item;
}

std::string nameOf(const QListWidgetItem* item) { return item->data(kNameRole).toByteArray().toStdString(); }

}  // namespace

Ttallylist::Ttallylist(Tally& tally, QWidget* parent)
    : SecondaryWindow(parent, "tallylistform", QStringLiteral("Tilewhirl - Tally List")), tally_(tally) {
  auto* layout = new QHBoxLayout(this);

  auto* left = new QVBoxLayout;
  auto* totals = new QGridLayout;
  const char* captions[] = {"Total Games:", "Your Wins:", "Total Words:", "Best Word:"};
  for (int i = 1; i <= 4; ++i) {
    totals->addWidget(label(QString::fromLatin1(captions[i - 1])), i - 1, 0);
    mylabel_[std::size_t(i)] = label(QString(), QStringLiteral("mylabel_%1").arg(i).toLatin1().constData());
    totals->addWidget(mylabel_[std::size_t(i)], i - 1, 1);
  }
  left->addLayout(totals);
  left->addWidget(label(QStringLiteral("Players In Current Game")));
  checklist_ = new QListWidget(this);
  checklist_->setObjectName(QStringLiteral("checklist"));
  left->addWidget(checklist_);
  left->addWidget(label(QStringLiteral("Players Being Tallied")));
  listbox_tally_ = new QListWidget(this);
  listbox_tally_->setObjectName(QStringLiteral("listbox_tally"));
  left->addWidget(listbox_tally_);
  layout->addLayout(left);

  auto* right = new QVBoxLayout;
  label_caption_ = label(QString(), "label_caption");
  QFont bold = label_caption_->font();
  bold.setBold(true);
  label_caption_->setFont(bold);
  right->addWidget(label_caption_);
  auto* grid = new QGridLayout;
  grid->addWidget(label(QStringLiteral("Total")), 0, 1);
  grid->addWidget(label(QStringLiteral("Session")), 0, 2);
  label_wins_ = label(QStringLiteral("Wins:"), "label_wins");
  QLabel* rowCaptions[] = {label(QStringLiteral("Number of Games")), label_wins_,
                           label(QStringLiteral("Your Wins:")), label(QStringLiteral("Neither Won:"))};
  for (int row = 1; row <= 4; ++row) {
    grid->addWidget(rowCaptions[row - 1], row, 0);
    for (int session = 0; session <= 1; ++session) {
      const int n = row + 4 * session;
      label_[std::size_t(n)] =
          label(QStringLiteral("0"), QStringLiteral("label_%1").arg(n).toLatin1().constData());
      grid->addWidget(label_[std::size_t(n)], row, 1 + session);
    }
  }
  right->addLayout(grid);
  right->addStretch();
  auto* buttons = new QHBoxLayout;
  QPushButton* reset = button(QStringLiteral("Reset Tally"), "button_reset");
  QPushButton* done = button(QStringLiteral("Done"), "button_done", true);
  buttons->addWidget(reset);
  buttons->addWidget(done);
  right->addLayout(buttons);
  layout->addLayout(right);

  connect(done, &QPushButton::clicked, this, &QDialog::accept);
  connect(reset, &QPushButton::clicked, this, &Ttallylist::resetTally);
  connect(checklist_, &QListWidget::itemChanged, this, &Ttallylist::checklistChanged);
  connect(listbox_tally_, &QListWidget::itemChanged, this, &Ttallylist::tallyChanged);
  connect(listbox_tally_, &QListWidget::currentRowChanged, this, &Ttallylist::showSelected);
  // Lists are rebuilt after the event that changed them has returned, never
  // under the item whose signal is running.
  tally_.setChanged([this] { queueRefresh(); });
  refresh();
  resize(520, 360);

  if (!tally_.loadNotice().empty())
    QTimer::singleShot(0, this, [this] { tell(QString::fromStdString(tally_.loadNotice())); });
}

Ttallylist::~Ttallylist() { tally_.setChanged({}); }

void Ttallylist::viewTally(const std::vector<std::string>& players) {
  tally_.refresh();
  tally_.loadchecklist(players);
  show();
  raise();
  activateWindow();
}

void Ttallylist::queueRefresh() {
  if (refreshQueued_) return;
  refreshQueued_ = true;
  QTimer::singleShot(0, this, &Ttallylist::refresh);
}

void Ttallylist::refresh() {
  refreshQueued_ = false;
  refreshing_ = true;
  for (int i = 1; i <= 4; ++i) mylabel_[std::size_t(i)]->setText(fromCp1252(tally_.mylabel(i)));

  checklist_->clear();
  for (const Tally::Entry& entry : tally_.checklist()) {
    QListWidgetItem* item = nameItem(entry.name, checklist_);
    item->setCheckState(entry.checked ? Qt::Checked : Qt::Unchecked);
  }

  const std::string selected = listbox_tally_->currentItem() ? nameOf(listbox_tally_->currentItem()) : "";
  listbox_tally_->clear();
  for (const std::string& name : tally_.talliedNames()) {
    QListWidgetItem* item = nameItem(name, listbox_tally_);
    item->setCheckState(Qt::Checked);
    if (name == selected) listbox_tally_->setCurrentItem(item);
  }
  refreshing_ = false;
  showSelected();
}

void Ttallylist::showSelected() {
  if (refreshing_) return;
  const int index = listbox_tally_->currentRow();
  if (index < 0) {
    for (int n = 1; n <= 8; ++n) label_[std::size_t(n)]->setText(QStringLiteral("0"));
    label_caption_->clear();
    label_wins_->setText(QStringLiteral("Wins:"));
    return;
  }
  const std::array<std::string, 8> row = tally_.talliedRow(index);
  for (int n = 1; n <= 8; ++n) label_[std::size_t(n)]->setText(fromCp1252(row[std::size_t(n - 1)]));
  const QString name = listbox_tally_->item(index)->text();
  label_caption_->setText(name + QStringLiteral("'s Tally"));
  label_wins_->setText(name + QStringLiteral(" Wins:"));
}

void Ttallylist::checklistChanged(QListWidgetItem* item) {
  if (refreshing_) return;
  if (item->checkState() == Qt::Checked) {
    tally_.tallyPlayer(nameOf(item));
  } else {
    // Unchecking removes nothing; the box shows the tally as it is.
    queueRefresh();
  }
}

void Ttallylist::tallyChanged(QListWidgetItem* item) {
  if (refreshing_ || item->checkState() == Qt::Checked) return;
  const std::string name = nameOf(item);
  ask(QStringLiteral("This will delete ") + item->text() +
          QStringLiteral("'s Tally, Are you want to delete it?"),
      [this, name](bool yes) {
        const int index = tally_.talliedIndex(name);
        if (yes && index >= 0) {
          tally_.untallyPlayer(index);
        } else {
          queueRefresh();
        }
      });
}

void Ttallylist::resetTally() {
  ask(QStringLiteral("Are you sure you want to reset the Tally?"), [this](bool yes) {
    if (yes) tally_.reset();
  });
}

}  // namespace tw
