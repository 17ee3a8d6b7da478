// The lobby download window.
#include "windows/download.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "client/web_addresses.h"

namespace tw {

namespace {

QString fromView(std::string_view text) { return QString::fromLatin1(text.data(), qsizetype(text.size())); }

QString defaultLobbyProgram() {
#ifdef Q_OS_WIN
  return QStringLiteral("C:\\Program Files\\Veltrix\\VeltrixLobby.exe");
#else
  const QString found = QStandardPaths::findExecutable(QStringLiteral("veltrixlobby"));
  return found.isEmpty() ? QStringLiteral("/opt/veltrix/veltrixlobby") : found;
#endif
}

bool runFile(const QString& file, const QStringList& arguments) {
#ifndef Q_OS_WIN
  // Elsewhere an installer is opened by whatever the desktop runs it with,
  // which takes no parameters.
  if (!QFileInfo(file).isExecutable()) return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
#endif
  return QProcess::startDetached(file, arguments);
}

}  // namespace

Tdownload::Places Tdownload::defaultPlaces(const SettingsStore& store) {
  const LobbyPlaces lobby = store.loadLobby(kLobbyAddress, defaultLobbyProgram().toLatin1().toStdString());
  Places places;
  places.address = QUrl(QString::fromLatin1(lobby.address));
  places.lobbyProgram = QString::fromLatin1(lobby.program);
  places.programDir = QCoreApplication::applicationDirPath();
  places.downloadDir = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
  if (places.downloadDir.isEmpty()) places.downloadDir = QDir::homePath();
  return places;
}

Tdownload::Tdownload(Places places, QWidget* parent)
    : SecondaryWindow(parent, "downloadform", QStringLiteral("Download The Veltrix Lobby")),
      startFile(runFile),
      places_(std::move(places)),
      http_(new QNetworkAccessManager(this)) {
  auto* layout = new QVBoxLayout(this);
  getbutton_ = button(QStringLiteral("Download And Install The Veltrix Lobby Now"), "getbutton", true);
  abortbutton_ = button(QStringLiteral("Stop Download"), "abortbutton");
  abortbutton_->setEnabled(false);
  QPushButton* solo = button(QStringLiteral("Play Solo Game"), "button_solo");
  QPushButton* others = button(QStringLiteral("Play with Others"), "button_others");
  infolabel_ = label(QString(), "infolabel");
  infolabel2_ = label(QString(), "infolabel2");
  infolabel2_->hide();
  infolabel3_ = label(QString(), "infolabel3");
  QLabel* intro =
      label(QStringLiteral("The Veltrix Lobby is where players meet and start games together. "
                           "Download and install it now, go on with your solo game, or play "
                           "with others."));
  intro->setWordWrap(true);
  layout->addWidget(intro);
  layout->addWidget(getbutton_);
  layout->addWidget(abortbutton_);
  layout->addWidget(infolabel_);
  layout->addWidget(infolabel3_);
  layout->addWidget(infolabel2_);
  layout->addStretch();
  layout->addWidget(solo);
  layout->addWidget(others);
  connect(getbutton_, &QPushButton::clicked, this, &Tdownload::getbuttonClick);
  connect(abortbutton_, &QPushButton::clicked, this, &Tdownload::abortbuttonClick);
  connect(solo, &QPushButton::clicked, this, &QDialog::accept);
  connect(others, &QPushButton::clicked, this, &Tdownload::playWithOthers);
  getbutton_->setEnabled(offered());
  resize(400, 260);
}

bool Tdownload::offered() const {
  return places_.address.isValid() && isWebAddress(places_.address.toString(QUrl::FullyEncoded).toStdString());
}

Tdownload::~Tdownload() {
  if (reply_) {
    stopped_ = true;
    reply_->abort();
  }
}

void Tdownload::done(int result) {
  // Closing the offer means no: a download still running would otherwise end
  // the game it just chose to go on with.
  if (reply_) abortbuttonClick();
  SecondaryWindow::done(result);
}

void Tdownload::getbuttonClick() {
  if (reply_ || !offered()) return;
  state_ = 1;
  stopped_ = false;
  writeFailed_ = false;
  bodyStarted_ = false;
  received_ = 0;
  QString name = places_.address.fileName();
  if (name.isEmpty()) name = fromView(kLobbyInstallerPath).section(QLatin1Char('/'), -1);
  infolabel2_->setText(name);
  target_ = QString::fromStdString(
      dataFilePath(places_.programDir.toStdString(), places_.downloadDir.toStdString(), name.toStdString()));
  part_.setFileName(target_ + QStringLiteral(".part"));
  if (!part_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    state_ = 2;
    infolabel_->setText(QStringLiteral("Download Aborted"));
    infolabel3_->setText(QStringLiteral("Cannot write %1").arg(QDir::toNativeSeparators(part_.fileName())));
    return;
  }
  getbutton_->setEnabled(false);
  abortbutton_->setEnabled(true);
  infolabel_->setText(QStringLiteral("Loading"));
  infolabel3_->clear();

  QNetworkRequest request(places_.address);
  request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Mozilla/3.0 (compatible)"));
  request.setRawHeader("Accept", "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
  request.setTransferTimeout(30000);
  reply_ = http_->get(request);
  connect(reply_, &QNetworkReply::metaDataChanged, this, &Tdownload::headersArrived);
  connect(reply_, &QNetworkReply::readyRead, this, &Tdownload::dataArrived);
  connect(reply_, &QNetworkReply::finished, this, &Tdownload::finished);
}

bool Tdownload::okStatus() const {
  const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  return status >= 200 && status < 300;
}

void Tdownload::headersArrived() {
  // The status line and every header line each add a dot.
  infolabel_->setText(infolabel_->text() +
                      QString(int(reply_->rawHeaderPairs().size()) + 1, QLatin1Char('.')));
}

void Tdownload::dataArrived() {
  const QByteArray data = reply_->readAll();
  if (!okStatus() || writeFailed_) return;
  if (!bodyStarted_) {
    bodyStarted_ = true;
    infolabel3_->setText(QStringLiteral("Downloading: ") + infolabel2_->text());
  }
  received_ += data.size();
  if (received_ > kMaxInstallerBytes || part_.write(data) != data.size()) {
    writeFailed_ = true;
    reply_->abort();
    return;
  }
  infolabel_->setText(QStringLiteral("%1 bytes").arg(received_));
}

void Tdownload::finished() {
  QNetworkReply* reply = reply_;
  const bool complete = reply->error() == QNetworkReply::NoError && okStatus() && !writeFailed_ && !stopped_;
  const QString why = writeFailed_ ? QStringLiteral("The file could not be written.") : reply->errorString();
  part_.close();
  reply_ = nullptr;
  reply->deleteLater();
  getbutton_->setEnabled(true);
  abortbutton_->setEnabled(false);

  bool placed = false;
  if (complete) {
    QFile::remove(target_);
    placed = QFile::rename(part_.fileName(), target_);
  }
  if (!placed) {
    state_ = 2;
    part_.remove();
    // "Stop Download" has already said what happened.
    if (!stopped_) {
      infolabel_->setText(QStringLiteral("Download Aborted"));
      infolabel3_->setText(complete ? QStringLiteral("The file could not be written.") : why);
    }
    return;
  }
  infolabel_->setText(QStringLiteral("Received %1 bytes").arg(QFileInfo(target_).size()));
  infolabel3_->setText(QStringLiteral("Installing"));
  if (startFile &&
      startFile(target_, {QStringLiteral("/SP-"), QStringLiteral("/silent"), QStringLiteral("/noicons")})) {
    emit closeGameRequested();
  } else {
    infolabel3_->setText(QStringLiteral("An Error has Occurred."));
    tell(QStringLiteral("An Error has Occurred."));
  }
}

void Tdownload::abortbuttonClick() {
  if (!reply_) return;
  stopped_ = true;
  state_ = 2;
  reply_->abort();
  infolabel_->setText(QStringLiteral("Download has been aborted."));
  infolabel3_->setText(QStringLiteral("Download Aborted"));
}

void Tdownload::playWithOthers() {
  if (QFileInfo(places_.lobbyProgram).isFile()) {
    if (startFile && startFile(places_.lobbyProgram, {})) {
      emit closeGameRequested();
    } else {
      tell(QStringLiteral("An Error has Occurred."));
    }
    return;
  }
  accept();
  emit hostOrJoinRequested();
}

}  // namespace tw
