// The host-or-join window.
#include "windows/connect.h"

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
#include <QTimer>
#include <QVBoxLayout>

#include "client/cp1252.h"
#include "client/start_options.h"
#include "client/web_addresses.h"
#include "directory/directory_protocol.h"
#include "discovery/lan_browser.h"
#include "net/commands.h"
#include "rules/game_rules.h"
#include "windows/directory_lookup.h"

namespace tw {

namespace {

constexpr int kMaxName = 30;

// Where a listed game's row keeps what joining it needs.
constexpr int kServiceRole = Qt::UserRole;
constexpr int kAddressRole = Qt::UserRole + 1;
constexpr int kPortRole = Qt::UserRole + 2;
constexpr int kFullRole = Qt::UserRole + 3;

constexpr int kRefreshMs = 4000;

const QString kNoDirectory = QStringLiteral("No game directory is set, so there are no invite codes or public games.");

QTableWidget* gameTable(QWidget* parent, const char* name) {
  auto* table = new QTableWidget(0, 5, parent);
  table->setObjectName(QLatin1String(name));
  table->setHorizontalHeaderLabels({QStringLiteral("Game"), QStringLiteral("Host"), QStringLiteral("Seats"),
                                    QStringLiteral("Watching"), QStringLiteral("State")});
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->verticalHeader()->hide();
  table->setWordWrap(false);
  table->setMinimumHeight(150);
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  table->setSortingEnabled(true);
  table->sortByColumn(0, Qt::AscendingOrder);
  return table;
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
  // Each list of games stands in a box of its own with a line under it; a double-click joins.
  const auto gameList = [this](const QString& title, const char* box, const char* table, const char* line,
                               void (Tconnect::*join)(), QLabel*& lineLabel) {
    auto* group = new QGroupBox(title, this);
    group->setObjectName(QLatin1String(box));
    lightText(group);
    auto* groupLayout = new QVBoxLayout(group);
    QTableWidget* games = gameTable(group, table);
    games->installEventFilter(this);
    connect(games, &QTableWidget::cellDoubleClicked, this, join);
    groupLayout->addWidget(games);
    lineLabel = label(QString(), line);
    lineLabel->setWordWrap(true);
    groupLayout->addWidget(lineLabel);
    lists_->addWidget(group);
    return games;
  };
  table_lan_ =
      gameList(QStringLiteral("On this network"), "group_lan", "table_lan", "label_lan", &Tconnect::joinListed, label_lan_);
  const DirectoryPlace directory = store_.loadDirectory(kDirectoryAddress);
  table_public_ = gameList(QStringLiteral("Public games"), "group_public", "table_public", "label_public",
                           &Tconnect::joinPublic, label_public_);
  layout->addLayout(lists_);
  if (const QString host = QString::fromStdString(directory.host()); !host.isEmpty()) {
    directory_ = new DirectoryLookup(host, directory.lookupPort, this);
    connect(directory_, &DirectoryLookup::gamesRead, this, &Tconnect::showPublicGames);
    connect(directory_, &DirectoryLookup::codeFound, this, &Tconnect::joinAt);
    connect(directory_, &DirectoryLookup::codeFailed, this, [this](const QString& why) { label_error_->setText(why); });
    refresh_ = new QTimer(this);
    refresh_->setInterval(kRefreshMs);
    connect(refresh_, &QTimer::timeout, directory_, &DirectoryLookup::refreshGames);
    label_public_->setText(QStringLiteral("Asking the game directory..."));
  } else {
    table_public_->setEnabled(false);
    label_public_->setText(kNoDirectory);
  }

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
  auto* codeRow = new QHBoxLayout;
  edit_code_ = new QLineEdit(this);
  edit_code_->setObjectName(QStringLiteral("edit_code"));
  edit_code_->setMaxLength(16);
  QPushButton* codeButton = button(QStringLiteral("Join by Code"), "button_code");
  codeRow->addWidget(edit_code_);
  codeRow->addWidget(codeButton);
  form->addRow(label(QStringLiteral("Invite Code:")), codeRow);
  if (directory_) {
    edit_code_->setPlaceholderText(QStringLiteral("K7M-2QX"));
    connect(codeButton, &QPushButton::clicked, this, &Tconnect::joinByCode);
    edit_code_->installEventFilter(this);
  } else {
    edit_code_->setEnabled(false);
    codeButton->setEnabled(false);
    edit_code_->setPlaceholderText(QStringLiteral("No game directory is set"));
  }
  check_announce_ = new QCheckBox(QStringLiteral("Announce a game I host on this network"), this);
  check_announce_->setObjectName(QStringLiteral("check_announce"));
  lightText(check_announce_);
  form->addRow(check_announce_);
  // Who finds a game hosted here: the directory's choices need a directory.
  // Their own parent keeps them apart from the host-or-join pair.
  auto* listingBox = new QWidget(this);
  auto* listingRow = new QHBoxLayout(listingBox);
  listingRow->setContentsMargins(0, 0, 0, 0);
  radio_network_ = new QRadioButton(QStringLiteral("This network only"), listingBox);
  radio_invite_ = new QRadioButton(QStringLiteral("Friends with an invite code"), listingBox);
  radio_public_ = new QRadioButton(QStringLiteral("Listed publicly"), listingBox);
  for (auto [radio, name] : {std::pair{radio_network_, "radio_network"}, std::pair{radio_invite_, "radio_invite"},
                             std::pair{radio_public_, "radio_public"}}) {
    radio->setObjectName(QLatin1String(name));
    lightText(radio);
    listingRow->addWidget(radio);
  }
  listingRow->addStretch();
  radio_invite_->setEnabled(directory_ != nullptr);
  radio_public_->setEnabled(directory_ != nullptr);
  form->addRow(label(QStringLiteral("Who Finds It:")), listingBox);
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
  resize(1080, 0);  // room for both lists side by side, titles readable
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
  if (directory_) {
    directory_->refreshGames();
    refresh_->start();
  }
}

void Tconnect::hideEvent(QHideEvent* event) {
  SecondaryWindow::hideEvent(event);
  lan_.reset();
  if (refresh_) refresh_->stop();
}

bool Tconnect::eventFilter(QObject* watched, QEvent* event) {
  // Return in the code field looks the code up, and does not press Start as well.
  if (watched == edit_code_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      joinByCode();
      return true;
    }
  }
  // Return on the list joins the game picked rather than pressing Start.
  auto* table = qobject_cast<QTableWidget*>(watched);
  if ((table == table_lan_ || table == table_public_) && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && table->currentRow() >= 0) {
      table == table_lan_ ? joinListed() : joinPublic();
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

void Tconnect::showPublicGames(const std::vector<PublicGame>& games, const QString& problem) {
  const int current = table_public_->currentRow();
  auto where = [](const QString& address, int port) { return address + QLatin1Char(':') + QString::number(port); };
  const QString picked = current >= 0 && table_public_->item(current, 0)
                             ? table_public_->item(current, 0)->data(kServiceRole).toString()
                             : QString();
  if (!problem.isEmpty()) {
    // The list stays as it was: a directory that misses one answer has not lost its games.
    label_public_->setText(problem);
    return;
  }
  table_public_->setSortingEnabled(false);
  table_public_->setRowCount(int(games.size()));
  for (int row = 0; row < int(games.size()); ++row) {
    const PublicGame& g = games[std::size_t(row)];
    const QString cells[] = {g.title, where(g.address, g.port), QStringLiteral("%1/%2").arg(g.seats).arg(rules::kSeatCount),
                             QStringLiteral("%1/%2").arg(g.watchers).arg(rules::kSlotCount - rules::kSeatCount),
                             g.playing ? QStringLiteral("playing") : QStringLiteral("open")};
    for (int column = 0; column < 5; ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      item->setData(kServiceRole, where(g.address, g.port));
      item->setData(kAddressRole, g.address);
      item->setData(kPortRole, g.port);
      item->setData(kFullRole, g.seats >= rules::kSeatCount);
      table_public_->setItem(row, column, item);
    }
  }
  table_public_->setSortingEnabled(true);
  for (int row = 0; row < table_public_->rowCount() && !picked.isEmpty(); ++row)
    if (table_public_->item(row, 0)->data(kServiceRole).toString() == picked) table_public_->selectRow(row);
  label_public_->setText(games.empty() ? QStringLiteral("No public games right now.")
                                       : QStringLiteral("Double-click a game to join it."));
}

void Tconnect::joinPublic() { joinPicked(*table_public_); }

void Tconnect::joinByCode() {
  const auto code = dir::readCode(edit_code_->text().toStdString());
  if (!code) {
    label_error_->setText(QStringLiteral("An invite code is six letters and digits, like K7M-2QX."));
    return;
  }
  label_error_->setText(QStringLiteral("Looking up %1...").arg(QString::fromStdString(dir::showCode(*code))));
  directory_->lookUpCode(QString::fromStdString(*code));
}

void Tconnect::joinAt(const QString& address, int port) {
  radio_join_->setChecked(true);
  edit_host_->setText(address);
  edit_port_->setValue(port);
  start();
}

void Tconnect::joinListed() { joinPicked(*table_lan_); }

void Tconnect::joinPicked(const QTableWidget& table) {
  const int row = table.currentRow();
  const QTableWidgetItem* item = row >= 0 ? table.item(row, 0) : nullptr;
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
  (!directory_ || last.listing == JoinChoices::kThisNetwork ? radio_network_
   : last.listing == JoinChoices::kByInvite                 ? radio_invite_
                                                            : radio_public_)
      ->setChecked(true);
  hostingToggled();
}

void Tconnect::hostingToggled() {
  edit_host_->setEnabled(!radio_host_->isChecked());
  radio_invite_->setEnabled(directory_ && radio_host_->isChecked());
  radio_public_->setEnabled(directory_ && radio_host_->isChecked());
}

QStringList Tconnect::arguments(QString* error) const {
  const StartRequest request{edit_name_->text().trimmed().toStdString(), edit_host_->text().trimmed().toStdString(),
                             radio_host_->isChecked(), edit_port_->value()};
  std::string why;
  QStringList line;
  for (const std::string& arg : startCommandLine(request, &why)) line << QString::fromStdString(arg);
  if (line.isEmpty() && error) *error = QString::fromStdString(why);
  return line;
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
                   edit_port_->value(), radio_host_->isChecked(), check_announce_->isChecked(),
                   radio_public_->isChecked()   ? JoinChoices::kListedPublicly
                   : radio_invite_->isChecked() ? JoinChoices::kByInvite
                                                : JoinChoices::kThisNetwork});
  if (!startProgram || !startProgram(program, args)) {
    label_error_->setText(QStringLiteral("An Error has Occurred."));
    return;
  }
  accept();
  emit closeGameRequested();
}

}  // namespace tw
