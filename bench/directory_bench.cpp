// The game directory with 10,000 registered games: registering them with
// their state lines through the registry, the memory each takes, the public
// list over HTTP on loopback, plain, gzipped and unchanged (against the list
// served as it was before: a cached string handed to httplib per request),
// and invite look-up latency (p50, p99), alone and beside list requests.
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <malloc.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "directory/directory_service.h"
#include "directory/lookup_pages.h"
#include "directory/registry.h"

namespace {

using namespace tw::dir;
constexpr int kGames = 10000;

struct Quiet final : RegistryOutput {
  void send(int, const std::string&) override {}
  void close(int) override {}
  void probe(int c, const std::string&, int, const std::string&) override { probes.push_back(c); }
  std::vector<int> probes;
};

Limits benchLimits() {
  Limits l;
  l.lookupsPerMinute = 1 << 30;
  return l;
}

// Registers kGames games, one address per ten, each with a state line.
void fill(Registry& registry, Quiet& out, std::int64_t now) {
  for (int i = 0; i < kGames; ++i) {
    const std::string address = "10." + std::to_string(i / 2550) + "." + std::to_string(i / 10 % 255) + ".1";
    registry.opened(i, address, now);
    registry.received(i, registerLine({kProtocol, 7772, i % 4 != 0, "1.0.4", "", "", "Game number " + std::to_string(i)}),
                      now);
    registry.received(i, stateLine({i % 7, i % 4, i % 2 == 0, i % 4}), now);
  }
  for (int c : out.probes) registry.probed(c, true, "", now);
}

std::size_t heapInUse() { return mallinfo2().uordblks; }

std::string gzipped(const std::string& plain) {
  std::string out(compressBound(uLong(plain.size())) + 32, '\0');
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
  z.avail_in = uInt(plain.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = uInt(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

void BM_RegisterGamesWithStateLines(benchmark::State& state) {
  for (auto _ : state) {
    MemoryStorage storage;
    Quiet out;
    Registry registry(storage, out, benchLimits(), [n = std::uint64_t(1)]() mutable { return n = n * 6364136223846793005ULL + 1442695040888963407ULL; });
    const std::size_t before = heapInUse();
    fill(registry, out, tw::dir::wallClockMs());
    state.counters["bytes_per_game"] = double(heapInUse() - before) / kGames;
    benchmark::DoNotOptimize(storage.games(tw::dir::wallClockMs()).size());
  }
  state.counters["games_per_s"] = benchmark::Counter(double(kGames) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RegisterGamesWithStateLines)->Unit(benchmark::kMillisecond);

// One directory with kGames public games behind an HTTP look-up server.
struct Loaded {
  MemoryStorage storage;
  Quiet out;
  Registry registry{storage, out, benchLimits(), [n = std::uint64_t(7)]() mutable { return n = n * 6364136223846793005ULL + 1442695040888963407ULL; }};
  LookupServer http{storage, benchLimits(), 7790};
  std::vector<std::string> codes;
  Loaded() {
    // Registered an hour ahead, so that no game falls silent however long the benchmarks run.
    fill(registry, out, wallClockMs() + 3600 * 1000);
    for (const auto& g : storage.games(wallClockMs())) codes.push_back(g.code);
    std::string error;
    http.start("127.0.0.1", 0, error);
  }
  static Loaded& get() {
    static Loaded* loaded = new Loaded;
    return *loaded;
  }
};

// How a list request goes: the body whole, gzipped, or only the check that
// the client's copy is still current (304).
enum Ask { kPlain, kGzip, kUnchanged };

httplib::Headers headersFor(Ask ask, const std::string& etag) {
  httplib::Headers headers;
  if (ask != kPlain) headers.emplace("Accept-Encoding", "gzip, deflate");
  if (ask == kUnchanged) headers.emplace("If-None-Match", etag);
  return headers;
}

void listRequests(benchmark::State& state, int port) {
  const Ask ask = Ask(state.range(0));
  httplib::Client client("127.0.0.1", port);
  client.set_keep_alive(true);
  client.set_tcp_nodelay(true);
  client.set_decompress(false);  // the bytes as they travel
  const auto first = client.Get("/games.json", headersFor(kGzip, ""));
  const std::string etag = first ? first->get_header_value("ETag") : "";
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto res = client.Get("/games.json", headersFor(ask, etag));
    if (!res || (res->status != 200 && res->status != 304)) state.SkipWithError("no list");
    bytes = res->body.size();
  }
  state.counters["body_bytes"] = double(bytes);
  state.counters["lists_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// The look-up server: bodies made once a second, gzipped once, 304 when unchanged.
void BM_ListOverHttp(benchmark::State& state) { listRequests(state, Loaded::get().http.port()); }
BENCHMARK(BM_ListOverHttp)->ArgName("plain0_gzip1_unchanged2")->DenseRange(0, 2)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Before: the list served as the look-up server used to, a cached string
// handed to httplib per request, which copies it and, for a client that
// takes gzip, compresses it again every time.
void BM_ListBeforeCachedStringPerRequest(benchmark::State& state) {
  Loaded& d = Loaded::get();
  // The very bytes the look-up server lists.
  static const std::string body = httplib::Client("127.0.0.1", d.http.port()).Get("/games.json")->body;
  static httplib::Server server;
  static int port = [] {
    server.Get("/games.json", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(body, "application/json");
    });
    server.set_tcp_nodelay(true);
    const int p = server.bind_to_any_port("127.0.0.1");
    std::thread([] { server.listen_after_bind(); }).detach();
    return p;
  }();
  listRequests(state, port);
}
BENCHMARK(BM_ListBeforeCachedStringPerRequest)->ArgName("plain0_gzip1")->DenseRange(0, 1)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Rendering the list from storage (and gzipping it), as the look-up server does once a second.
void BM_ListRender(benchmark::State& state) {
  Loaded& d = Loaded::get();
  for (auto _ : state) {
    const auto now = wallClockMs();
    auto games = d.storage.games(now);
    std::erase_if(games, [](const Listing& g) { return !g.isPublic; });
    const std::string json = gamesJson(games, now);
    benchmark::DoNotOptimize(json.size());
    if (state.range(0)) benchmark::DoNotOptimize(gzipped(json).size());
  }
}
BENCHMARK(BM_ListRender)->ArgName("gzip")->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

// Invite look-ups, alone or while another client asks for the list without pause.
void BM_InviteLookupOverHttp(benchmark::State& state) {
  Loaded& d = Loaded::get();
  std::atomic<bool> stop = false;
  std::thread lister;
  if (state.range(0)) {
    lister = std::thread([&] {
      httplib::Client client("127.0.0.1", d.http.port());
      client.set_keep_alive(true);
      while (!stop) client.Get("/games.json");
    });
  }
  httplib::Client client("127.0.0.1", d.http.port());
  client.set_keep_alive(true);
  client.set_tcp_nodelay(true);
  std::vector<double> micros;
  std::size_t i = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto res = client.Get(("/invite/" + d.codes[i++ % d.codes.size()]).c_str());
    micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    if (!res || res->status != 200) state.SkipWithError("no game");
  }
  stop = true;
  if (lister.joinable()) lister.join();
  std::sort(micros.begin(), micros.end());
  state.counters["p50_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
}
BENCHMARK(BM_InviteLookupOverHttp)->ArgName("lists_beside")->DenseRange(0, 1)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
