// The directory's relay, the real tilewhirl-directory on loopback: a message's
// round trip through the relay against the same round trip direct (p50, p99,
// and what the relay adds, with the relay's processor time a round trip), the bytes a second one relayed connection carries
// against a direct one (the directory runs on one thread, so on one core), and
// the directory's resident memory per relayed game with a player connected.
// The host's side is played here with plain blocking sockets.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

int connectTo(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(std::uint16_t(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) throw std::runtime_error("no connection");
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

void writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n <= 0) throw std::runtime_error("write failed");
    data += n;
    size -= std::size_t(n);
  }
}
void writeAll(int fd, const std::string& text) { writeAll(fd, text.data(), text.size()); }

void readExactly(int fd, char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::read(fd, data, size);
    if (n <= 0) throw std::runtime_error("read failed");
    data += n;
    size -= std::size_t(n);
  }
}

std::string readLine(int fd) {
  std::string line;
  char c = 0;
  while (::read(fd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

// The real directory program, its log in a file.
class Directory {
 public:
  Directory() {
    char logName[] = "/tmp/tilewhirl-relay-bench-XXXXXX";
    const int log = ::mkstemp(logName);
    logName_ = logName;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(log, 2);
      ::execl(TW_DIRECTORY_PROGRAM, TW_DIRECTORY_PROGRAM, "--port", "0", "--http-port", "0", "--relay-ports",
              "47000-47999", "--relay-games", "2000", "--relay-rate", "0", "--max-games-per-address", "100000",
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(log);
    for (int i = 0; i < 1000 && port_ == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      std::ifstream in(logName_);
      const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      const auto at = text.find("registrations on port ");
      if (at != std::string::npos) port_ = std::atoi(text.c_str() + at + 22);
    }
  }
  ~Directory() {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    std::remove(logName_.c_str());
  }
  int port() const { return port_; }
  // Processor time used so far, user and system, in microseconds.
  double cpuMicros() const {
    std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
    std::string field;
    double ticks = 0;
    for (int i = 1; i <= 15 && stat >> field; ++i)
      if (i >= 14) ticks += std::atof(field.c_str());
    return ticks * 1e6 / double(::sysconf(_SC_CLK_TCK));
  }
  // Resident memory in bytes.
  long rss() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string word;
    while (status >> word)
      if (word == "VmRSS:") {
        long kb = 0;
        status >> kb;
        return kb * 1024;
      }
    return 0;
  }

 private:
  pid_t pid_ = 0;
  int port_ = 0;
  std::string logName_;
};

// One relayed game: its registration, and the relay port players are given.
struct Game {
  int registration = -1;
  int relayPort = 0;
  Game(const Directory& d, int n) {
    registration = connectTo(d.port());
    // Port 1: nothing answers there, so the game is relayed.
    writeAll(registration, "REGISTER\t1\t1\tpublic\t1.0.4\t-\t-\tBench " + std::to_string(n) + "\n");
    std::string line;
    while ((line = readLine(registration)) != "RELAY")
      if (line.empty()) throw std::runtime_error("no relay offered");
    writeAll(registration, "RELAY\n");
    line = readLine(registration);
    if (line.rfind("REACH\trelayed\t", 0) != 0) throw std::runtime_error("not relayed: " + line);
    relayPort = std::atoi(line.c_str() + 14);
  }
  // A player at the relay port, and the host's connection paired with him.
  std::pair<int, int> player(const Directory& d) const {
    const int player = connectTo(relayPort);
    std::string line;
    while ((line = readLine(registration)).rfind("OPEN\t", 0) != 0)
      if (line.empty()) throw std::runtime_error("no OPEN");
    const int host = connectTo(d.port());
    writeAll(host, "JOIN\t" + line.substr(5) + "\n");
    if (readLine(host).rfind("PROXY TCP4 127.0.0.1 ", 0) != 0) throw std::runtime_error("no PROXY line");
    return {player, host};
  }
};

// A direct connection on loopback, the reference.
std::pair<int, int> directPair() {
  const int server = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof at;
  ::bind(server, reinterpret_cast<sockaddr*>(&at), sizeof at);
  ::listen(server, 1);
  ::getsockname(server, reinterpret_cast<sockaddr*>(&at), &size);
  const int client = connectTo(ntohs(at.sin_port));
  const int accepted = ::accept(server, nullptr, nullptr);
  const int one = 1;
  ::setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  ::close(server);
  return {client, accepted};
}

double roundTripMicros(std::pair<int, int> ends, char* message, std::size_t size) {
  const auto start = std::chrono::steady_clock::now();
  writeAll(ends.first, message, size);
  readExactly(ends.second, message, size);
  writeAll(ends.second, message, size);
  readExactly(ends.first, message, size);
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

double percentile(std::vector<double> values, int p) {
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, values.size() * std::size_t(p) / 100)];
}

// A game message's round trip (64 bytes, a chat line's size), relayed and
// direct taken in turns, so that both meet the same machine.
void BM_RelayAddedLatency(benchmark::State& state) {
  Directory directory;
  Game game(directory, 0);
  const auto relayed = game.player(directory);
  const auto direct = directPair();
  char message[64] = "CMD_chat+1+Ann chats: hello everybody|clBlack";
  std::vector<double> viaRelay, viaDirect;
  const double cpuBefore = directory.cpuMicros();
  for (auto _ : state) {
    viaRelay.push_back(roundTripMicros(relayed, message, sizeof message));
    viaDirect.push_back(roundTripMicros(direct, message, sizeof message));
  }
  // What a round trip costs the relay's one thread, whatever else the machine runs.
  state.counters["relay_cpu_us"] = (directory.cpuMicros() - cpuBefore) / double(state.iterations());
  state.counters["relay_p50_us"] = percentile(viaRelay, 50);
  state.counters["relay_p99_us"] = percentile(viaRelay, 99);
  state.counters["direct_p50_us"] = percentile(viaDirect, 50);
  state.counters["direct_p99_us"] = percentile(viaDirect, 99);
  state.counters["added_p50_us"] = percentile(viaRelay, 50) - percentile(viaDirect, 50);
  state.counters["added_p99_us"] = percentile(viaRelay, 99) - percentile(viaDirect, 99);
  for (int fd : {relayed.first, relayed.second, direct.first, direct.second, game.registration}) ::close(fd);
}
BENCHMARK(BM_RelayAddedLatency)->Iterations(20000)->Unit(benchmark::kMicrosecond)->UseRealTime();

// 64 MiB one way, read as fast as it comes.
void carry(benchmark::State& state, std::pair<int, int> ends) {
  constexpr std::size_t kChunk = 64 * 1024, kChunks = 1024;
  std::vector<char> chunk(kChunk, 'x');
  for (auto _ : state) {
    std::thread sink([&] {
      std::vector<char> in(kChunk);
      for (std::size_t got = 0; got < kChunk * kChunks;) {
        const ssize_t n = ::read(ends.second, in.data(), in.size());
        if (n <= 0) break;
        got += std::size_t(n);
      }
    });
    for (std::size_t i = 0; i < kChunks; ++i) writeAll(ends.first, chunk.data(), chunk.size());
    sink.join();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kChunk * kChunks));
  ::close(ends.first);
  ::close(ends.second);
}

void BM_RelayCarries(benchmark::State& state) {
  Directory directory;
  Game game(directory, 0);
  carry(state, game.player(directory));
  ::close(game.registration);
}
BENCHMARK(BM_RelayCarries)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DirectCarries(benchmark::State& state) { carry(state, directPair()); }
BENCHMARK(BM_DirectCarries)->Unit(benchmark::kMillisecond)->UseRealTime();

// The directory's resident memory for 200 relayed games, each with a player
// who has sent a message and been answered.
void BM_RelayMemoryPerGame(benchmark::State& state) {
  constexpr int kGames = 200;
  for (auto _ : state) {
    Directory directory;
    std::vector<Game> games;
    std::vector<int> fds;
    games.reserve(kGames);
    // One game first, so that what every directory has at its first relay is not counted.
    Game first(directory, -1);
    const auto firstPair = first.player(directory);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const long before = directory.rss();
    char message[64] = "CMD_chat+1+Ann chats: hello everybody|clBlack";
    for (int i = 0; i < kGames; ++i) {
      games.emplace_back(directory, i);
      const auto ends = games.back().player(directory);
      roundTripMicros(ends, message, sizeof message);
      fds.insert(fds.end(), {ends.first, ends.second, games.back().registration});
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    state.counters["bytes_per_game"] = double(directory.rss() - before) / kGames;
    for (int fd : fds) ::close(fd);
    for (int fd : {firstPair.first, firstPair.second, first.registration}) ::close(fd);
  }
}
BENCHMARK(BM_RelayMemoryPerGame)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
