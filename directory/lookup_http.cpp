// The look-ups' HTTP plumbing around cpp-httplib.
#include "directory/lookup_http.h"

#include <httplib.h>
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
#include <limits>
#include <mutex>
#include <unordered_map>

#include "directory/lookup_pages.h"
#include "net/log.h"

namespace tw::dir {
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
    // At most a request's worth: a peer that keeps sending does not keep us here.
    char ignored[4096];
    for (int i = 0; i < 4 && ::recv(socket, ignored, sizeof ignored, MSG_DONTWAIT) > 0; ++i) {
    }
    const std::string body = errorJson("too many connections from your address at once; close some and try again");
    const std::string answer = "HTTP/1.1 429 Too Many Requests\r\nContent-Type: application/json\r\nContent-Length: " +
                               std::to_string(body.size()) + "\r\nRetry-After: 5\r\nConnection: close\r\n\r\n" + body;
    [[maybe_unused]] const ssize_t sent = ::send(socket, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    // One line now and then, however many are refused.
    std::lock_guard lock(mutex_);
    ++refused_;
    const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
    if (now - loggedMs_ < 10000) return;
    logLine("refused " + std::to_string(refused_) + " look-up connection(s), lately from " + address +
            ", over the limit of " + std::to_string(perAddress_) + " at once per address");
    loggedMs_ = now;
    refused_ = 0;
  }

  const int perAddress_;
  std::mutex mutex_;
  std::unordered_map<std::string, int> open_;
  std::int64_t loggedMs_ = std::numeric_limits<std::int64_t>::min() / 2;
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

}  // namespace

std::unique_ptr<httplib::Server> cappedServer(int connectionsPerAddress) {
  return std::make_unique<CappedServer>(connectionsPerAddress);
}

MadePage makePage(std::string plain, std::string etag) {
  MadePage page{std::move(plain), {}, std::move(etag)};
  page.gzipped = gzip(page.plain);
  return page;
}

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

void servePage(const httplib::Request& req, httplib::Response& res, std::shared_ptr<const MadePage> body,
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

}  // namespace tw::dir
