// The spy list window.
#include "windows/spy_list.h"

#include <QLabel>
#include <QListWidgetItem>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tw {

Tspylist::Tspylist(QWidget* parent)
    : SecondaryWindow(parent, "spylistform", QStringLiteral("Tilewhirl - Spys")) {
  auto* layout = new QVBoxLayout(this);
  QLabel* heading = label(QStringLiteral("Spy List"));
  QFont f = heading->font();
  f.setBold(true);
  heading->setFont(f);
  layout->addWidget(heading);
  listbox_spys_ = new QListWidget(this);
  listbox_spys_->setObjectName(QStringLiteral("listbox_spys"));
  listbox_spys_->setContextMenuPolicy(Qt::CustomContextMenu);
  layout->addWidget(listbox_spys_);
  label_keptout_ = label(QStringLiteral("Kept Out (removed players)"), "label_keptout");
  label_keptout_->setFont(f);
  layout->addWidget(label_keptout_);
  listbox_keptout_ = new QListWidget(this);
  listbox_keptout_->setObjectName(QStringLiteral("listbox_keptout"));
  layout->addWidget(listbox_keptout_);
  button_letbackin_ = button(QStringLiteral("Let Back In"), "button_letbackin");
  button_letbackin_->setEnabled(false);
  layout->addWidget(button_letbackin_, 0, Qt::AlignLeft);
  connect(listbox_keptout_, &QListWidget::currentRowChanged, this,
          [this](int row) { button_letbackin_->setEnabled(row >= 0); });
  connect(button_letbackin_, &QPushButton::clicked, this, [this] {
    if (const QListWidgetItem* item = listbox_keptout_->currentItem())
      emit letBackInRequested(item->data(Qt::UserRole).toString());
  });
  QPushButton* done = button(QStringLiteral("Done"), "button_done", true);
  layout->addWidget(done, 0, Qt::AlignRight);
  connect(done, &QPushButton::clicked, this, &QDialog::accept);

  popup_kickhim_ = new QMenu(this);
  popup_kickhim_->setObjectName(QStringLiteral("popup_kickhim"));
  RemoveFromGame1_ = popup_kickhim_->addAction(QStringLiteral("Remove From Game"));
  RemoveFromGame1_->setObjectName(QStringLiteral("RemoveFromGame1"));
  RemoveFromGame1_->setEnabled(false);
  connect(RemoveFromGame1_, &QAction::triggered, this, [this] { removeClicked(); });
  connect(listbox_spys_, &QListWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    QListWidgetItem* item = listbox_spys_->itemAt(pos);
    remember(item ? listbox_spys_->row(item) : -1);
    popup_kickhim_->popup(listbox_spys_->viewport()->mapToGlobal(pos));
  });
  setKeptOut({});
  resize(220, 200);
}

void Tspylist::setEntries(const QList<Entry>& entries) {
  listbox_spys_->clear();
  for (const Entry& entry : entries) {
    auto* item = new QListWidgetItem(entry.text);
    item->setData(Qt::UserRole, entry.seat);
    listbox_spys_->addItem(item);
  }
}

QStringList Tspylist::entries() const {
  QStringList out;
  for (int i = 0; i < listbox_spys_->count(); ++i) out << listbox_spys_->item(i)->text();
  return out;
}

void Tspylist::setKickEnabled(bool enabled) { RemoveFromGame1_->setEnabled(enabled); }

void Tspylist::setKeptOut(const QList<std::pair<QString, QString>>& addressesAndNames) {
  listbox_keptout_->clear();
  for (const auto& [address, name] : addressesAndNames) {
    auto* item = new QListWidgetItem(name.isEmpty() ? address : QStringLiteral("%1 (%2)").arg(name, address));
    item->setData(Qt::UserRole, address);
    listbox_keptout_->addItem(item);
  }
  button_letbackin_->setEnabled(listbox_keptout_->currentRow() >= 0);
  // Only the copy that runs the host has bans to show; the others never see the part.
  const bool any = listbox_keptout_->count() > 0;
  if (any && !listbox_keptout_->isVisibleTo(this)) resize(std::max(width(), 260), std::max(height(), 340));
  label_keptout_->setVisible(any);
  listbox_keptout_->setVisible(any);
  button_letbackin_->setVisible(any);
}

void Tspylist::remember(int index) {
  const QListWidgetItem* item = index >= 0 && index < listbox_spys_->count() ? listbox_spys_->item(index) : nullptr;
  clicked_ = item ? Entry{item->data(Qt::UserRole).toInt(), item->text()} : Entry{};
}

void Tspylist::removeFromGame(int index) {
  remember(index);
  removeClicked();
}

void Tspylist::removeClicked() {
  // An entry that left meanwhile is not removed; its seat may be someone else's by now.
  if (!RemoveFromGame1_->isEnabled() || clicked_.text.isEmpty()) return;
  for (int i = 0; i < listbox_spys_->count(); ++i) {
    const QListWidgetItem* item = listbox_spys_->item(i);
    if (item->text() == clicked_.text && item->data(Qt::UserRole).toInt() == clicked_.seat) {
      emit kickRequested(clicked_.seat);
      return;
    }
  }
}

}  // namespace tw
