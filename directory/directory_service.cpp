// The directory program's sockets around its registry and look-ups.
#include "directory/directory_service.h"

#include <httplib.h>

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <chrono>
#include <utility>
#include <random>

#include "directory/lookup_http.h"
#include "directory/lookup_pages.h"
#include "directory/probe_check.h"
#include "net/log.h"

namespace tw::dir {
namespace {

std::uint64_t systemRandom() {
  static std::random_device source;
  return (std::uint64_t(source()) << 32) ^ source();
}

}  // namespace

std::int64_t wallClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

DirectoryService::DirectoryService(Storage& storage, Limits limits, QObject* parent)
    : QObject(parent),
      server_(new QTcpServer(this)),
      registry_(storage, *this, limits, systemRandom),
      relay_(limits.relayBytesPerSecond, [this](int connection, const std::string& line) { send(connection, line); },
             systemRandom) {
  connect(server_, &QTcpServer::newConnection, this, &DirectoryService::accepted);
  connect(&tick_, &QTimer::timeout, this, [this] { registry_.tick(wallClockMs()); });
  tick_.start(1000);
}

DirectoryService::~DirectoryService() {
  // Aborting a socket reports its close at once; nothing is left to tell.
  const auto sockets = std::exchange(sockets_, {});
  for (const auto& [id, socket] : sockets) {
    if (!socket) continue;
    socket->disconnect(this);
    socket->abort();
  }
}

bool DirectoryService::listen(quint16 port) {
  if (server_->listen(QHostAddress::Any, port)) return true;
  logLine("cannot take the registration port " + std::to_string(port) + ": " + server_->errorString().toStdString());
  return false;
}

quint16 DirectoryService::port() const { return server_->serverPort(); }

void DirectoryService::accepted() {
  while (QTcpSocket* socket = server_->nextPendingConnection()) {
    const int id = next_++;
    socket->setParent(this);
    socket->setReadBufferSize(4096);
    sockets_[id] = socket;
    connect(socket, &QTcpSocket::readyRead, this, [this, id, socket] {
      while (socket->bytesAvailable() > 0 && sockets_.count(id)) {
        const QByteArray bytes = socket->read(4096);
        registry_.received(id, std::string_view(bytes.constData(), std::size_t(bytes.size())), wallClockMs());
      }
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, id, socket] {
      if (sockets_.erase(id)) registry_.closed(id);
      socket->deleteLater();
    });
    if (!registry_.opened(id, plainAddress(socket->peerAddress()), wallClockMs()))
      logLine("registration from " + plainAddress(socket->peerAddress()) + " refused");
  }
}

void DirectoryService::send(int connection, const std::string& line) {
  auto it = sockets_.find(connection);
  if (it == sockets_.end() || !it->second) return;
  QTcpSocket* socket = it->second;
  // Dropped later, from the event loop: the registry is in the middle of a call.
  if (socket->bytesToWrite() > kMaxUnsent) {
    QMetaObject::invokeMethod(socket, &QTcpSocket::abort, Qt::QueuedConnection);
    return;
  }
  socket->write(line.data(), qint64(line.size()));
}

void DirectoryService::close(int connection) {
  auto it = sockets_.find(connection);
  if (it == sockets_.end()) return;
  QPointer<QTcpSocket> socket = it->second;
  sockets_.erase(it);
  if (!socket) return;
  socket->disconnectFromHost();
  // A peer that reads nothing must not keep the socket for ever.
  QTimer::singleShot(5000, this, [socket] {
    if (socket) socket->abort();
  });
}

void DirectoryService::probe(int connection, const std::string& address, int port, const std::string& nonce) {
  auto* socket = new QTcpSocket(this);
  auto check = std::make_shared<ProbeCheck>(nonce);
  auto done = std::make_shared<bool>(false);
  auto finish = [this, connection, socket, done, port](bool reached, const std::string& why) {
    if (*done) return;
    *done = true;
    registry_.probed(connection, reached, why, wallClockMs());
    logLine("game port " + std::to_string(port) + " of registration " + std::to_string(connection) +
            (reached ? ": reached" : ": unreachable (" + why + ")"));
    socket->abort();
    socket->deleteLater();
  };
  connect(socket, &QTcpSocket::connected, this, [socket, check] {
    const std::string request = check->request();
    socket->write(request.data(), qint64(request.size()));
  });
  connect(socket, &QTcpSocket::readyRead, this, [socket, check, finish] {
    const QByteArray bytes = socket->read(ProbeCheck::kMaxBytes + 1);
    const auto result = check->feed(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    if (result == ProbeCheck::Result::Reached) finish(true, "");
    if (result == ProbeCheck::Result::Failed) finish(false, check->why());
  });
  connect(socket, &QTcpSocket::errorOccurred, this, [socket, finish, port](QAbstractSocket::SocketError) {
    finish(false, "no answer on port " + std::to_string(port) + ": " + socket->errorString().toStdString());
  });
  QTimer::singleShot(kProbeMs, socket, [finish, port] {
    finish(false, "no answer on port " + std::to_string(port) + " within " + std::to_string(kProbeMs / 1000) + " s");
  });
  socket->connectToHost(QString::fromStdString(address), quint16(port));
}

std::optional<std::string> DirectoryService::relay(int connection, int port) {
  auto it = sockets_.find(connection);
  if (it == sockets_.end() || !it->second || !relay_.open(connection, quint16(port))) return std::nullopt;
  logLine("registration " + std::to_string(connection) + " relayed on port " + std::to_string(port));
  return relayAddress_.empty() ? plainAddress(it->second->localAddress()) : relayAddress_;
}

void DirectoryService::joined(int connection, const std::string& token, std::string_view rest) {
  auto it = sockets_.find(connection);
  if (it == sockets_.end()) return;
  QPointer<QTcpSocket> socket = it->second;
  sockets_.erase(it);
  if (!socket) return;
  socket->disconnect(this);
  relay_.joined(socket, token, QByteArray(rest.data(), qsizetype(rest.size())));
}

LookupServer::LookupServer(Storage& storage, Limits limits, int registrationPort, int listRefreshMs,
                           Storage* listStorage)
    : lookups_(storage, limits),
      listing_(listStorage ? *listStorage : storage, limits),
      storage_(storage),
      registrationPort_(registrationPort),
      listRefreshMs_(listRefreshMs),
      http_(cappedServer(limits.httpConnectionsPerAddress)) {
  // Slow or idle clients are cut off, and requests carry no body.
  http_->set_read_timeout(5, 0);
  http_->set_write_timeout(5, 0);
  http_->set_keep_alive_timeout(5);
  http_->set_keep_alive_max_count(100);
  http_->set_payload_max_length(1024);
  // Small answers go out at once, not after the peer's delayed acknowledgement.
  http_->set_tcp_nodelay(true);
  // Room for many addresses' connections beside one address's full share.
  const int workers = std::clamp(4 * limits.httpConnectionsPerAddress, 16, 64);
  http_->new_task_queue = [workers] { return new httplib::ThreadPool(std::size_t(workers)); };

  http_->Get("/games.json", [this](const httplib::Request& req, httplib::Response& res) {
    servePage(req, res, pages(wallClockMs()).json, "application/json");
  });
  http_->Get("/", [this](const httplib::Request& req, httplib::Response& res) {
    servePage(req, res, pages(wallClockMs()).html, "text/html; charset=utf-8");
  });
  http_->Get(R"(/invite/([^/]{1,32}))", [this](const httplib::Request& req, httplib::Response& res) {
    const auto answer = lookups_.invite(req.remote_addr, req.matches[1].str(), wallClockMs());
    if (const auto* game = std::get_if<Listing>(&answer)) {
      res.set_content(inviteJson(*game), "application/json");
    } else if (std::holds_alternative<Lookups::TooMany>(answer)) {
      res.status = 429;
      res.set_content(errorJson("too many invite look-ups from your address; wait a minute"), "application/json");
    } else {
      res.status = 404;
      res.set_content(errorJson("no game has this invite code"), "application/json");
    }
  });
  http_->set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty()) res.set_content(errorJson("no such page"), "application/json");
  });
}

LookupServer::~LookupServer() { stop(); }

bool LookupServer::start(const std::string& host, int port, std::string& error) {
  if (port == 0) {
    port_ = http_->bind_to_any_port(host.c_str());
  } else if (http_->bind_to_port(host.c_str(), port)) {
    port_ = port;
  }
  if (port_ <= 0) {
    error = "cannot take the look-up port " + std::to_string(port);
    return false;
  }
  thread_ = std::thread([this] { http_->listen_after_bind(); });
  return true;
}

void LookupServer::stop() {
  if (!thread_.joinable()) return;
  // A stop before the thread is in its accept loop would be missed.
  for (int i = 0; i < 1000 && !http_->is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  http_->stop();
  thread_.join();
}

LookupServer::Pages LookupServer::pages(std::int64_t nowMs) {
  {
    std::lock_guard lock(pagesMutex_);
    const bool fresh = pages_.madeMs >= 0 && nowMs - pages_.madeMs < listRefreshMs_ && nowMs >= pages_.madeMs;
    if (fresh) return pages_;
  }
  // One request makes them again; meanwhile the others take the last ones.
  std::unique_lock rebuild(rebuildMutex_, std::try_to_lock);
  if (!rebuild.owns_lock()) {
    std::lock_guard lock(pagesMutex_);
    if (pages_.json) return pages_;
  }
  if (!rebuild.owns_lock()) rebuild.lock();
  const auto games = listing_.publicGames(nowMs);
  auto json = std::make_shared<const MadePage>(makePage(gamesJson(games, nowMs), listTag(games)));
  auto html = std::make_shared<const MadePage>(makePage(homePage(games, nowMs, registrationPort_), {}));
  std::lock_guard lock(pagesMutex_);
  pages_.json = std::move(json);
  pages_.html = std::move(html);
  pages_.madeMs = nowMs;
  return pages_;
}

}  // namespace tw::dir
