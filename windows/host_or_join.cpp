// The host-or-join window.
#include "host_or_join.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "commands.h"
#include "cp1252.h"
#include "game_rules.h"
#include "lan_browser.h"

namespace tw {

namespace {

constexpr int kMaxName = 30;

// Where a listed game's row keeps what joining it needs.
constexpr int kServiceRole = Qt::UserRole;
constexpr int kAddressRole = Qt::UserRole + 1;
constexpr int kPortRole = Qt::UserRole + 2;
constexpr int kFullRole = Qt::UserRole + 3;

// Text the wire and the command line carry whole: 8-bit, without the field
// separator, the message end or a line break.
bool fitsTheWire(const QString& text) {
  for (QChar c : text)
    if (c.unicode() > 0xFE || c == QLatin1Char('+') || c == QLatin1Char('|') || c.unicode() < 0x20)
      return false;
  return true;
}

}  // namespace

Tconnect::Tconnect(SettingsStore store, QWidget* parent)
    : SecondaryWindow(parent, "connectform", QStringLiteral("Tilewhirl - Host or Join")),
      startProgram([](const QString& p, const QStringList& a) { return QProcess::startDetached(p, a); }),
      program(QCoreApplication::applicationFilePath()),
      store_(std::move(store)) {
  auto* layout = new QVBoxLayout(this);
  auto* nameRow = new QFormLayout;
  edit_name_ = new QLineEdit(this);
  edit_name_->setObjectName(QStringLiteral("edit_name"));
  edit_name_->setMaxLength(kMaxName);
  nameRow->addRow(label(QStringLiteral("Your Name:")), edit_name_);
  layout->addLayout(nameRow);

  lists_ = new QHBoxLayout;
  auto* lanBox = new QGroupBox(QStringLiteral("On this network"), this);
  lanBox->setObjectName(QStringLiteral("group_lan"));
  lightText(lanBox);
  auto* lanLayout = new QVBoxLayout(lanBox);
  table_lan_ = new QTableWidget(0, 5, lanBox);
  table_lan_->setObjectName(QStringLiteral("table_lan"));
  table_lan_->setHorizontalHeaderLabels({QStringLiteral("Game"), QStringLiteral("Host"), QStringLiteral("Seats"),
                                         QStringLiteral("Watching"), QStringLiteral("State")});
  table_lan_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_lan_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_lan_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_lan_->verticalHeader()->hide();
  table_lan_->setWordWrap(false);
  table_lan_->setMinimumHeight(150);
  table_lan_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_lan_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  table_lan_->setSortingEnabled(true);
  table_lan_->sortByColumn(0, Qt::AscendingOrder);
  table_lan_->installEventFilter(this);
  connect(table_lan_, &QTableWidget::cellDoubleClicked, this, [this] { joinListed(); });
  lanLayout->addWidget(table_lan_);
  label_lan_ = label(QString(), "label_lan");
  label_lan_->setWordWrap(true);
  lanLayout->addWidget(label_lan_);
  lists_->addWidget(lanBox);
  layout->addLayout(lists_);

  auto* form = new QFormLayout;
  radio_host_ = new QRadioButton(QStringLiteral("Host a game on this computer"), this);
  radio_host_->setObjectName(QStringLiteral("radio_host"));
  radio_join_ = new QRadioButton(QStringLiteral("Join a game"), this);
  radio_join_->setObjectName(QStringLiteral("radio_join"));
  lightText(radio_host_);
  lightText(radio_join_);
  form->addRow(radio_host_);
  form->addRow(radio_join_);
  edit_host_ = new QLineEdit(this);
  edit_host_->setObjectName(QStringLiteral("edit_host"));
  form->addRow(label(QStringLiteral("Host Address:")), edit_host_);
  edit_port_ = new QSpinBox(this);
  edit_port_->setObjectName(QStringLiteral("edit_port"));
  edit_port_->setRange(1, 65535);
  edit_port_->setValue(kGamePort);
  form->addRow(label(QStringLiteral("Port:")), edit_port_);
  check_announce_ = new QCheckBox(QStringLiteral("Announce a game I host on this network"), this);
  check_announce_->setObjectName(QStringLiteral("check_announce"));
  lightText(check_announce_);
  form->addRow(check_announce_);
  layout->addLayout(form);
  label_error_ = label(QString(), "label_error");
  label_error_->setStyleSheet(QStringLiteral("color: #ffb0b0"));
  layout->addWidget(label_error_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  QPushButton* startButton = button(QStringLiteral("Start"), "button_start", true);
  QPushButton* cancel = button(QStringLiteral("Cancel"), "button_cancel");
  buttons->addWidget(startButton);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(startButton, &QPushButton::clicked, this, &Tconnect::start);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(radio_host_, &QRadioButton::toggled, this, &Tconnect::hostingToggled);
  load();
  resize(560, 0);
}

Tconnect::~Tconnect() = default;

void Tconnect::showEvent(QShowEvent* event) {
  SecondaryWindow::showEvent(event);
  // The network is searched only while someone looks at the list.
  if (!lan_) {
    lan_ = std::make_unique<LanBrowser>();
    connect(lan_.get(), &LanBrowser::changed, this, &Tconnect::showLanGames);
  }
  showLanGames();
}

void Tconnect::hideEvent(QHideEvent* event) {
  SecondaryWindow::hideEvent(event);
  lan_.reset();
}

bool Tconnect::eventFilter(QObject* watched, QEvent* event) {
  // Return on the list joins the game picked rather than pressing Start.
  if (watched == table_lan_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && table_lan_->currentRow() >= 0) {
      joinListed();
      return true;
    }
  }
  return SecondaryWindow::eventFilter(watched, event);
}

void Tconnect::showLanGames() {
  const QString problem = lan_ ? lan_->problem() : QString();
  const std::vector<LanGame> games = lan_ ? lan_->games() : std::vector<LanGame>{};
  const int current = table_lan_->currentRow();
  const QString picked = current >= 0 && table_lan_->item(current, 0)
                             ? table_lan_->item(current, 0)->data(kServiceRole).toString()
                             : QString();
  table_lan_->setSortingEnabled(false);
  table_lan_->setRowCount(int(games.size()));
  int pickedRow = -1;
  for (int row = 0; row < int(games.size()); ++row) {
    const LanGame& g = games[std::size_t(row)];
    const QString service = QString::fromStdString(g.service);
    const QString cells[] = {QString::fromStdString(g.title), QString::fromStdString(g.hostName),
                             QStringLiteral("%1/%2").arg(g.seatsTaken).arg(rules::kSeatCount),
                             QStringLiteral("%1/%2").arg(g.watchers).arg(rules::kSlotCount - rules::kSeatCount),
                             g.playing ? QStringLiteral("playing") : QStringLiteral("open")};
    for (int column = 0; column < 5; ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      item->setData(kServiceRole, service);
      item->setData(kAddressRole, QString::fromStdString(g.address));
      item->setData(kPortRole, int(g.port));
      item->setData(kFullRole, g.full());
      table_lan_->setItem(row, column, item);
    }
    if (service == picked) pickedRow = row;
  }
  table_lan_->setSortingEnabled(true);
  if (pickedRow >= 0) {
    for (int row = 0; row < table_lan_->rowCount(); ++row)
      if (table_lan_->item(row, 0)->data(kServiceRole).toString() == picked) table_lan_->selectRow(row);
  }
  if (!problem.isEmpty())
    label_lan_->setText(problem);
  else if (games.empty())
    label_lan_->setText(QStringLiteral("No games found yet."));
  else
    label_lan_->setText(QStringLiteral("Double-click a game to join it."));
}

void Tconnect::joinListed() {
  const int row = table_lan_->currentRow();
  const QTableWidgetItem* item = row >= 0 ? table_lan_->item(row, 0) : nullptr;
  if (!item) return;
  const QString service = item->data(kServiceRole).toString();
  radio_join_->setChecked(true);
  edit_host_->setText(item->data(kAddressRole).toString());
  edit_port_->setValue(item->data(kPortRole).toInt());
  if (item->data(kFullRole).toBool() && offeredWatch_ != service) {
    offeredWatch_ = service;
    label_error_->setText(QStringLiteral("All seats of %1 are taken. Pick it again, or press Start, to watch.")
                              .arg(item->text()));
    return;
  }
  offeredWatch_.clear();
  start();
}

void Tconnect::load() {
  const JoinChoices last = store_.loadJoin();
  edit_name_->setText(fromCp1252(last.name));
  edit_host_->setText(fromCp1252(last.host));
  edit_port_->setValue(last.port);
  (last.hosting ? radio_host_ : radio_join_)->setChecked(true);
  check_announce_->setChecked(last.announce);
  hostingToggled();
}

void Tconnect::hostingToggled() { edit_host_->setEnabled(!radio_host_->isChecked()); }

QStringList Tconnect::arguments(QString* error) const {
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    return QStringList();
  };
  const QString name = edit_name_->text().trimmed();
  const QString host = edit_host_->text().trimmed();
  const bool hosting = radio_host_->isChecked();
  if (name.isEmpty()) return fail(QStringLiteral("Please enter your name."));
  if (!fitsTheWire(name))
    return fail(QStringLiteral("A name cannot hold \"+\", \"|\" or unusual characters."));
  if (!hosting && host.isEmpty()) return fail(QStringLiteral("Please enter the host's address."));
  if (!hosting && (!fitsTheWire(host) || host.contains(QLatin1Char(' '))))
    return fail(QStringLiteral("The host's address is not valid."));
  // "--" keeps a name that starts with "-" from reading as an option.
  return {QStringLiteral("--port"),
          QString::number(edit_port_->value()),
          QStringLiteral("--new-instance"),
          QStringLiteral("--"),
          name,
          hosting ? QStringLiteral("127.0.0.1") : host,
          hosting ? QStringLiteral("true") : QStringLiteral("false")};
}

void Tconnect::start() {
  QString error;
  const QStringList args = arguments(&error);
  if (args.isEmpty()) {
    label_error_->setText(error);
    return;
  }
  label_error_->clear();
  store_.saveJoin({toCp1252(edit_name_->text().trimmed()), toCp1252(edit_host_->text().trimmed()),
                   edit_port_->value(), radio_host_->isChecked(), check_announce_->isChecked()});
  if (!startProgram || !startProgram(program, args)) {
    label_error_->setText(QStringLiteral("An Error has Occurred."));
    return;
  }
  accept();
  emit closeGameRequested();
}

}  // namespace tw
