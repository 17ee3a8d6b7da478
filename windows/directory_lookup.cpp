// Asking the game directory, and reading its answers with suspicion.
#include "windows/directory_lookup.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrl>

#include "rules/game_rules.h"

namespace tw {
namespace {

constexpr qint64 kMaxReply = 64 * 1024;  // an invite's answer fits many times over
// The whole public list, as unpacked from gzip: the most games a directory
// takes by default fit with room to spare.
constexpr qint64 kMaxList = 8 * 1024 * 1024;
constexpr int kTimeoutMs = 5000;
constexpr int kMaxText = 60;

QString cleaned(const QJsonValue& value) {
  QString out;
  for (QChar c : value.toString().left(kMaxText * 2))
    if (c.isPrint()) out += c;
  return out.left(kMaxText);
}

int bounded(const QJsonValue& value, int low, int high) { return std::clamp(value.toInt(), low, high); }

}  // namespace

std::vector<PublicGame> readPublicGames(const QByteArray& json) {
  std::vector<PublicGame> out;
  const QJsonArray games = QJsonDocument::fromJson(json).object().value(QLatin1String("games")).toArray();
  for (const QJsonValue& value : games) {
    if (int(out.size()) == kMaxPublicGames) break;
    const QJsonObject g = value.toObject();
    PublicGame game{cleaned(g.value(QLatin1String("title"))),
                    cleaned(g.value(QLatin1String("address"))),
                    bounded(g.value(QLatin1String("port")), 0, 65535),
                    bounded(g.value(QLatin1String("seats")), 0, rules::kSeatCount),
                    bounded(g.value(QLatin1String("watchers")), 0, rules::kSlotCount - rules::kSeatCount),
                    g.value(QLatin1String("state")).toString() == QLatin1String("playing")};
    if (game.address.isEmpty() || game.address.contains(QLatin1Char(' ')) || game.port == 0) continue;
    out.push_back(std::move(game));
  }
  return out;
}

DirectoryLookup::DirectoryLookup(QString host, int port, QObject* parent)
    : QObject(parent), host_(std::move(host)), port_(port), net_(new QNetworkAccessManager(this)) {}

DirectoryLookup::~DirectoryLookup() = default;

QNetworkReply* DirectoryLookup::get(const QString& path, qint64 maxBytes, const QByteArray& etag) {
  QUrl url;
  url.setScheme(QStringLiteral("http"));
  url.setHost(host_);
  url.setPort(port_);
  url.setPath(path);
  QNetworkRequest request(url);
  request.setTransferTimeout(kTimeoutMs);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
  // Qt asks for gzip itself and unpacks it; the validator saves the list
  // itself when nothing in it changed.
  if (!etag.isEmpty()) request.setRawHeader("If-None-Match", etag);
  QNetworkReply* reply = net_->get(request);
  // A reply larger than any honest one is cut off rather than kept.
  connect(reply, &QNetworkReply::downloadProgress, reply, [reply, maxBytes](qint64 received, qint64 total) {
    if (received > maxBytes || total > maxBytes) reply->abort();
  });
  return reply;
}

void DirectoryLookup::refreshGames() {
  if (listing_) return;
  listing_ = get(QStringLiteral("/games.json"), kMaxList, etag_);
  connect(listing_, &QNetworkReply::finished, this, [this] {
    QNetworkReply* reply = std::exchange(listing_, nullptr);
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 304) return emit gamesRead(games_, QString());
    if (reply->error() != QNetworkReply::NoError || status != 200) {
      emit gamesRead({}, QStringLiteral("The game directory at %1 cannot be reached.").arg(host_));
      return;
    }
    games_ = readPublicGames(reply->read(kMaxList));
    const QByteArray etag = reply->rawHeader("ETag");
    etag_ = etag.size() <= 100 ? etag : QByteArray();
    emit gamesRead(games_, QString());
  });
}

void DirectoryLookup::lookUpCode(const QString& code) {
  if (invite_) invite_->abort();
  invite_ = get(QStringLiteral("/invite/") + code, kMaxReply);
  connect(invite_, &QNetworkReply::finished, this, [this, reply = invite_] {
    reply->deleteLater();
    if (invite_ == reply) invite_ = nullptr;
    if (reply->error() == QNetworkReply::OperationCanceledError) return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 404) return emit codeFailed(QStringLiteral("No game has this invite code."));
    if (status == 429)
      return emit codeFailed(QStringLiteral("Too many invite look-ups from here; wait a minute and try again."));
    if (reply->error() != QNetworkReply::NoError || status != 200)
      return emit codeFailed(QStringLiteral("The game directory at %1 cannot be reached.").arg(host_));
    const QJsonObject game = QJsonDocument::fromJson(reply->read(kMaxReply)).object();
    const QString address = cleaned(game.value(QLatin1String("address")));
    const int port = bounded(game.value(QLatin1String("port")), 0, 65535);
    if (address.isEmpty() || address.contains(QLatin1Char(' ')) || port == 0)
      return emit codeFailed(QStringLiteral("The game directory gave no address for this code."));
    emit codeFound(address, port);
  });
}

}  // namespace tw
