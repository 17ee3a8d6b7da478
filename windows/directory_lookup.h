// DirectoryLookup: Play with Others' questions to the game directory over
// HTTP, its public list and its invite codes. Nothing waits on the answer,
// and everything in it is a stranger's text: replies are bounded, rows are
// capped and control characters are dropped before a window shows them.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;

namespace tw {

struct PublicGame {
  QString title;
  QString address;
  int port = 0;
  int seats = 0;
  int watchers = 0;
  bool playing = false;
};

inline constexpr int kMaxPublicGames = 200;

// The games of a "/games.json" reply; at most kMaxPublicGames, none without
// an address and a port.
std::vector<PublicGame> readPublicGames(const QByteArray& json);

class DirectoryLookup final : public QObject {
  Q_OBJECT

 public:
  DirectoryLookup(QString host, int port, QObject* parent = nullptr);
  ~DirectoryLookup() override;

  // Asks for the public list, unless a request for it is under way; the
  // directory sends it gzipped, or says in a few bytes that it is unchanged.
  void refreshGames();
  // Asks for the game of an invite code, as the directory reads codes.
  void lookUpCode(const QString& code);

 signals:
  // `problem` is empty when the list came.
  void gamesRead(const std::vector<PublicGame>& games, const QString& problem);
  void codeFound(const QString& address, int port);
  void codeFailed(const QString& why);

 private:
  QNetworkReply* get(const QString& path, qint64 maxBytes, const QByteArray& etag = {});

  QString host_;
  int port_;
  QNetworkAccessManager* net_;
  QNetworkReply* listing_ = nullptr;
  QNetworkReply* invite_ = nullptr;
  // The last list and its validator, shown again when the directory says it did not change.
  std::vector<PublicGame> games_;
  QByteArray etag_;
};

}  // namespace tw
