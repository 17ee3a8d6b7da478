// The directory program's sockets around its registry and look-ups.
#include "directory_service.h"

#include <httplib.h>

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <random>

#include "log.h"
#include "lookup_pages.h"
#include "probe_check.h"

namespace tw::dir {
namespace {

// The address as people write it: an IPv4 peer of a dual-stack socket without its ::ffff: prefix.
std::string plainAddress(const QHostAddress& address) {
  bool v4 = false;
  const quint32 ip = address.toIPv4Address(&v4);
  return (v4 ? QHostAddress(ip) : address).toString().toStdString();
}

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
    : QObject(parent), server_(new QTcpServer(this)), registry_(storage, *this, limits, systemRandom) {
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

namespace {

// httplib's request handling on a connection loop of our own, so that the
// connections from one address can be counted before any of them holds a
// worker: a flood from one address takes at most its share of the pool.
class SocketStream final : public httplib::Stream {
 public:
  SocketStream(socket_t socket, int readMs, int writeMs) : socket_(socket), readMs_(readMs), writeMs_(writeMs) {}

  bool is_readable() const override { return begin_ < end_ || wait(POLLIN, readMs_); }
  bool is_writable() const override { return wait(POLLOUT, writeMs_); }
  ssize_t read(char* ptr, size_t size) override {
    if (begin_ == end_) {
      if (!wait(POLLIN, readMs_)) return -1;
      const ssize_t n = ::recv(socket_, buffer_, sizeof buffer_, 0);
      if (n <= 0) return n;
      begin_ = 0;
      end_ = std::size_t(n);
    }
    const std::size_t n = std::min(size, end_ - begin_);
    std::memcpy(ptr, buffer_ + begin_, n);
    begin_ += n;
    return ssize_t(n);
  }
  ssize_t write(const char* ptr, size_t size) override {
    if (!wait(POLLOUT, writeMs_)) return -1;
    return ::send(socket_, ptr, size, MSG_NOSIGNAL);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override { name(::getpeername, ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { name(::getsockname, ip, port); }
  socket_t socket() const override { return socket_; }

  // Waits up to `ms` for the next request, looking every tenth of a second
  // whether the server stops meanwhile.
  bool awaitRequest(int ms, const std::atomic<socket_t>& server) const {
    if (begin_ < end_) return true;
    for (int waited = 0; waited < ms && server != INVALID_SOCKET; waited += 100)
      if (wait(POLLIN, std::min(100, ms - waited))) return true;
    return false;
  }

 private:
  bool wait(short events, int ms) const {
    pollfd p{socket_, events, 0};
    int n;
    do n = ::poll(&p, 1, ms);
    while (n < 0 && errno == EINTR);
    return n > 0;
  }
  template <typename Name>
  void name(Name get, std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    char host[NI_MAXHOST] = "";
    char service[NI_MAXSERV] = "";
    if (get(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::getnameinfo(reinterpret_cast<sockaddr*>(&address), length, host, sizeof host, service, sizeof service,
                      NI_NUMERICHOST | NI_NUMERICSERV) != 0)
      return;
    ip = host;
    if (ip.rfind("::ffff:", 0) == 0 && ip.find('.') != std::string::npos) ip = ip.substr(7);
    port = std::atoi(service);
  }

  socket_t socket_;
  int readMs_;
  int writeMs_;
  char buffer_[16 * 1024];
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
};

class CappedServer final : public httplib::Server {
 public:
  explicit CappedServer(int perAddress) : perAddress_(perAddress) {}

 private:
  bool process_and_close_socket(socket_t socket) override {
    SocketStream stream(socket, int(read_timeout_sec_ * 1000 + read_timeout_usec_ / 1000),
                        int(write_timeout_sec_ * 1000 + write_timeout_usec_ / 1000));
    std::string address;
    int port = 0;
    stream.get_remote_ip_and_port(address, port);
    bool ok = false;
    if (enter(address)) {
      for (std::size_t left = keep_alive_max_count_;
           left > 0 && svr_sock_ != INVALID_SOCKET &&
           stream.awaitRequest(int(keep_alive_timeout_sec_ * 1000), svr_sock_);
           --left) {
        bool closed = false;
        ok = process_request(stream, left == 1, closed, nullptr);
        if (!ok || closed) break;
      }
      leave(address);
    } else {
      refuse(socket, address);
    }
    ::shutdown(socket, SHUT_RDWR);
    ::close(socket);
    return ok;
  }

  bool enter(const std::string& address) {
    std::lock_guard lock(mutex_);
    int& open = open_[address];
    if (open >= perAddress_) return false;
    ++open;
    return true;
  }
  void leave(const std::string& address) {
    std::lock_guard lock(mutex_);
    if (--open_[address] <= 0) open_.erase(address);
  }
  // Answers at once, without waiting for the request: a refusal costs a flood
  // no more than this. What already arrived is read first, so that the close
  // does not reset the connection before the answer is read.
  void refuse(socket_t socket, const std::string& address) {
    char ignored[4096];
    while (::recv(socket, ignored, sizeof ignored, MSG_DONTWAIT) > 0) {
    }
    const std::string body = errorJson("too many connections from your address at once; close some and try again");
    const std::string answer = "HTTP/1.1 429 Too Many Requests\r\nContent-Type: application/json\r\nContent-Length: " +
                               std::to_string(body.size()) + "\r\nRetry-After: 5\r\nConnection: close\r\n\r\n" + body;
    [[maybe_unused]] const ssize_t sent = ::send(socket, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    // One line now and then, however many are refused.
    std::lock_guard lock(mutex_);
    ++refused_;
    const std::int64_t now = wallClockMs();
    if (now - loggedMs_ < 10000) return;
    logLine("refused " + std::to_string(refused_) + " look-up connection(s), lately from " + address +
            ", over the limit of " + std::to_string(perAddress_) + " at once per address");
    loggedMs_ = now;
    refused_ = 0;
  }

  const int perAddress_;
  std::mutex mutex_;
  std::unordered_map<std::string, int> open_;
  std::int64_t loggedMs_ = -1000000;
  long refused_ = 0;
};

std::string gzip(const std::string& plain) {
  z_stream z{};
  // 15 + 16: a gzip wrapper rather than zlib's.
  if (deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::string out(deflateBound(&z, uLong(plain.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
  z.avail_in = uInt(plain.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = uInt(out.size());
  const int status = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return status == Z_STREAM_END ? out : std::string();
}

// What the list says, without the ages that change every second: the
// validator stays while no game comes, goes or changes.
std::string listTag(const std::vector<Listing>& games) {
  std::uint64_t hash = 14695981039346656037ULL;
  auto add = [&](std::string_view bytes) {
    for (char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    hash = (hash ^ 0xFF) * 1099511628211ULL;
  };
  for (const Listing& g : games) {
    add(g.code);
    add(g.title);
    add(g.address);
    add(g.version);
    add(std::to_string(g.port) + ' ' + std::to_string(g.state.seatsTaken) + ' ' + std::to_string(g.state.watchers) +
        ' ' + std::to_string(g.state.playing) + ' ' + std::to_string(g.state.computerLevel) + ' ' +
        std::to_string(g.sinceMs));
  }
  char text[32];
  std::snprintf(text, sizeof text, "W/\"%016llx\"", static_cast<unsigned long long>(hash));
  return text;
}

// Whether an Accept-Encoding takes gzip: named, and not with q=0.
bool takesGzip(const std::string& accepted) {
  std::size_t at = 0;
  while (at < accepted.size()) {
    const std::size_t end = std::min(accepted.find(',', at), accepted.size());
    std::string item = accepted.substr(at, end - at);
    std::erase(item, ' ');
    std::transform(item.begin(), item.end(), item.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    const std::size_t semicolon = item.find(';');
    const std::string name = item.substr(0, semicolon);
    const std::size_t q = item.find("q=", semicolon == std::string::npos ? item.size() : semicolon);
    if ((name == "gzip" || name == "x-gzip") && (q == std::string::npos || std::atof(item.c_str() + q + 2) > 0))
      return true;
    at = end + 1;
  }
  return false;
}

bool matches(const std::string& ifNoneMatch, const std::string& etag) {
  if (etag.empty() || ifNoneMatch.empty()) return false;
  if (ifNoneMatch.find('*') != std::string::npos) return true;
  // Weak comparison: the opaque parts, with or without W/.
  const std::string opaque = etag.substr(etag.find('"'));
  return ifNoneMatch.find(opaque) != std::string::npos;
}

// Serves a made body as it is, gzipped when the client takes that; httplib
// neither copies nor compresses it again per request.
void serve(const httplib::Request& req, httplib::Response& res, std::shared_ptr<const LookupServer::Body> body,
           const char* type) {
  if (!body->etag.empty()) {
    res.set_header("ETag", body->etag);
    res.set_header("Cache-Control", "no-cache");
    if (matches(req.get_header_value("If-None-Match"), body->etag)) {
      res.status = 304;
      return;
    }
  }
  res.set_header("Vary", "Accept-Encoding");
  const bool gzipped = !body->gzipped.empty() && takesGzip(req.get_header_value("Accept-Encoding"));
  if (gzipped) res.set_header("Content-Encoding", "gzip");
  const std::string& bytes = gzipped ? body->gzipped : body->plain;
  res.set_content_provider(bytes.size(), type,
                           [body, &bytes](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                             return sink.write(bytes.data() + offset, length);
                           });
}

}  // namespace

LookupServer::LookupServer(Storage& storage, Limits limits, int registrationPort, int listRefreshMs)
    : lookups_(storage, limits),
      storage_(storage),
      registrationPort_(registrationPort),
      listRefreshMs_(listRefreshMs),
      http_(std::make_unique<CappedServer>(limits.httpConnectionsPerAddress)) {
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
    serve(req, res, pages(wallClockMs()).json, "application/json");
  });
  http_->Get("/", [this](const httplib::Request& req, httplib::Response& res) {
    serve(req, res, pages(wallClockMs()).html, "text/html; charset=utf-8");
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
  const auto games = lookups_.publicGames(nowMs);
  Body json{gamesJson(games, nowMs), {}, listTag(games)};
  json.gzipped = gzip(json.plain);
  Body html{homePage(games, nowMs, registrationPort_), {}, {}};
  html.gzipped = gzip(html.plain);
  std::lock_guard lock(pagesMutex_);
  pages_.json = std::make_shared<const Body>(std::move(json));
  pages_.html = std::make_shared<const Body>(std::move(html));
  pages_.madeMs = nowMs;
  return pages_;
}

}  // namespace tw::dir
