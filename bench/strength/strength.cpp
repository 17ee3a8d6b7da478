// tilewhirl-strength: whole games between two computer seats at chosen
// levels, on the real host with the built-in word list, in virtual time and
// from a fixed seed. Prints, per pairing, the win rate with its 95 % interval
// and each side's word score, points a turn, pass rate, search time and the
// share of its words in a list of familiar words; checks the levels' labels.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

#include <time.h>

#include "dictionary/dictn.h"
#include "dictionary/word_lists.h"
#include "host/level_tuning.h"
#include "host/server.h"
#include "host/standard_rules.h"
#include "net/commands.h"
#include "support/manual_timer.h"

namespace tw {
namespace {

using test::ManualTimer;
using test::VirtualClock;

constexpr int kSeats = 2;  // the two sides sit in seats 2 and 3; seat 1 only passes

struct Side {
  ComputerLevel level = ComputerLevel::Beginner;
  long wins = 0;
  long turns = 0;
  long words = 0;
  long wordPoints = 0;
  long points = 0;
  long buys = 0;
  long refused = 0;
  long familiarWords = 0;  // of `words`, those in the familiar list
  std::vector<double> searchMs;  // processor time of the thread
  std::vector<double> wallMs;
};

// The machine may be shared: the thread's processor time leaves out the
// time spent waiting for a processor.
double threadMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Watches one game through what seat 1 is sent (every broadcast) and what
// the two sides are told alone.
class Table final : public HostTransport {
 public:
  void take(int) override {}
  void close(int) override {}
  void send(int slot, const std::string& bytes) override {
    std::vector<std::string> messages;
    splitters_[std::size_t(slot)].feed(bytes, messages);
    for (const auto& m : messages) observe(slot, m);
  }

  std::array<Side*, 4> sides{};  // by seat
  const std::unordered_set<std::string>* familiar = nullptr;
  std::string winner;
  bool seatOnePasses = false;

 private:
  void observe(int slot, const std::string& message) {
    const Command c = splitCommand(message);
    FieldReader body(c.body);
    if (slot != 1) {
      if (c.name == cmd::invalid) ++sides[std::size_t(slot)]->refused;
      return;
    }
    if (c.name == cmd::winner) {
      winner = std::string(body.next());
      return;
    }
    if (c.name != cmd::nextplayer && c.name != cmd::hisword && c.name != cmd::buytiles) return;
    const int seat = body.nextInt();
    if (seat == 1) {
      seatOnePasses = c.name == cmd::nextplayer;
      return;
    }
    Side& side = *sides[std::size_t(seat)];
    if (c.name == cmd::nextplayer) {
      ++side.turns;
    } else if (c.name == cmd::buytiles) {
      ++side.buys;
    } else {
      const std::string word(body.next());
      body.next();
      ++side.words;
      if (familiar && familiar->count(word)) ++side.familiarWords;
      side.wordPoints += body.nextInt();
    }
  }
  std::array<MessageSplitter, TServer::kRefusedSlot + 1> splitters_{};
};

struct Options {
  int games = 1000;
  int playTo = 250;
  std::uint32_t seed = 1;
  std::string mode = "1";
  std::vector<std::pair<ComputerLevel, ComputerLevel>> pairs;
  LevelSkills skills = standardSkills();
  std::unordered_set<std::string> familiar;  // lower case
  bool hasFamiliar = false;
  int labelTolerance = -1;  // points a turn a level may be off its label; -1: not checked
};

void say(TServer& host, int slot, const std::string& message) { host.Sock1Read(slot, message + kTerminator); }

// Plays one game; the sides sit in seats 2 and 3 in that order. False when
// it did not end within a virtual day.
bool playGame(const HostRules& base, std::uint32_t seed, const Options& options, Side& first, Side& second) {
  Table table;
  table.sides = {nullptr, nullptr, &first, &second};
  table.familiar = options.hasFamiliar ? &options.familiar : nullptr;
  HostRules rules = base;
  rules.seed = seed;
  rules.skills = options.skills;
  ManualTimer socktimer, timer1, computertimer, logintimer, bantimer, ratetimer;
  int current = 0;
  TServer host(
      table, HostTimers{socktimer, timer1, computertimer, logintimer, bantimer, ratetimer},
      [&](const std::string& line) {
        if (TServer::refusesWord(line) && current >= 2) ++table.sides[std::size_t(current)]->refused;
      },
      rules);
  host.setComputerLevel(2, first.level);
  host.setComputerLevel(3, second.level);

  double pendingMs = 0;
  double pendingWallMs = 0;
  VirtualClock clock;
  clock.add(socktimer, [&] { host.socktimerTimer(); });
  clock.add(timer1, [&] { host.timer1Timer(); });
  clock.add(computertimer, [&] {
    const BotStep step = host.botStep();
    if (host.botCountdown() != 1 || (step != BotStep::Flip && step != BotStep::Word)) {
      host.computertimerTimer();
      return;
    }
    current = host.currentSeat();
    const auto begin = std::chrono::steady_clock::now();
    const double cpuBegin = threadMs();
    host.computertimerTimer();
    pendingMs += threadMs() - cpuBegin;
    pendingWallMs +=
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    if (step == BotStep::Word && current >= 2) {
      table.sides[std::size_t(current)]->searchMs.push_back(pendingMs);
      table.sides[std::size_t(current)]->wallMs.push_back(pendingWallMs);
      pendingMs = pendingWallMs = 0;
    }
  });
  clock.add(logintimer, [&] { host.logintimerTimer(); });

  for (int s = 1; s <= 1 + kSeats; ++s) {
    host.Sock1Accept("harness");
    say(host, s,
        std::string(cmd::logininfo) + "+" + std::to_string(s) + "+" + std::string(kVersion) + "+P" +
            std::to_string(s));
  }
  say(host, 1,
      std::string(cmd::startgame) + "+P1+" + std::to_string(options.playTo) + "+60+f+" + options.mode +
          "+0+");
  for (int s = 2; s <= 1 + kSeats; ++s)
    say(host, s, std::string(cmd::justwatch) + "+" + std::to_string(s) + "+1");

  const std::int64_t limit = 24LL * 3600 * 1000;
  while (clock.now < limit && clock.step()) {
    if (table.seatOnePasses) {
      table.seatOnePasses = false;
      say(host, 1, std::string(cmd::hepass) + "+1+");
    }
  }
  if (table.winner.empty()) return false;
  first.points += host.seat(2).score;
  second.points += host.seat(3).score;
  (table.winner == "P2" ? first : second).wins += 1;
  return true;
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
}

void printSide(const Side& s, long games, bool familiar) {
  const double turns = double(std::max(1L, s.turns));
  std::printf(
      "  %-8s  wins %5.1f %%  word %5.1f  points/turn %5.1f  passes %4.1f %%  buys/game %4.2f  "
      "search median %6.3f ms  p99 %6.3f ms (wall p99 %6.3f ms)  refused %ld",
      std::string(levelName(s.level)).c_str(), 100.0 * double(s.wins) / double(std::max(1L, games)),
      double(s.wordPoints) / double(std::max(1L, s.words)), double(s.points) / turns,
      100.0 * double(s.turns - s.words) / turns, double(s.buys) / double(std::max(1L, games)),
      percentile(s.searchMs, 0.5), percentile(s.searchMs, 0.99), percentile(s.wallMs, 0.99), s.refused);
  if (familiar)
    std::printf("  familiar %5.1f %% of %ld words", 100.0 * double(s.familiarWords) / double(std::max(1L, s.words)),
                s.words);
  std::printf("\n");
}

// Points and turns of a level over every pairing it played.
struct Tally {
  long points = 0;
  long turns = 0;
};

int usage(int status) {
  std::fprintf(status ? stderr : stdout,
               "Usage: tilewhirl-strength [--games N] [--to SCORE] [--seed N] [--mode blind|help|sneak]\n"
               "                          [--pair LEVEL:LEVEL]... [--skill LEVEL=SIZE,FORGET,CHOICES,BUY]...\n"
               "                          [--familiar FILE] [--check-labels POINTS]\n"
               "Plays N games (default 1000) to SCORE (default 250) for each pairing of computer\n"
               "levels (beginner, casual, club, strong, expert; by default each level against the\n"
               "one below it, then expert:beginner), on the built-in word list, in virtual time\n"
               "from a fixed seed. The sides change seats every game. For each pairing it prints\n"
               "the first level's win rate with its 95 %% interval, then per side: the mean score\n"
               "of a word, the points a turn (buys deducted), the share of turns without a word,\n"
               "buys a game, the processor time of a turn's moves (median and 99th percentile;\n"
               "the wall-clock 99th percentile beside it includes waiting for a processor on a\n"
               "busy machine) and the words the host refused.\n"
               "--skill plays a level with other skills: the largest word-list size it knows (0:\n"
               "all), the percent of remembered cells it forgets a turn, how many best words it\n"
               "chooses among, the word score below which it buys a new bar, and optionally the\n"
               "percent of the list it searches.\n"
               "--familiar FILE also prints the share of each side's words found in FILE (one\n"
               "word a line, such as /usr/share/dict/american-english).\n"
               "--check-labels POINTS prints each level's points a turn over all its games\n"
               "beside the label the program shows, and fails when any is further off than POINTS.\n"
               "Exits with 1 when the host refused any word of a level above Beginner or a label\n"
               "is off.\n");
  return status;
}

}  // namespace
}  // namespace tw

int main(int argc, char* argv[]) {
  using namespace tw;
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") return usage(0);
    if (!hasValue) return usage(2);
    const std::string value = argv[++i];
    if (arg == "--games") {
      options.games = std::atoi(value.c_str());
    } else if (arg == "--to") {
      options.playTo = std::atoi(value.c_str());
    } else if (arg == "--seed") {
      options.seed = std::uint32_t(std::strtoul(value.c_str(), nullptr, 10));
    } else if (arg == "--mode") {
      options.mode = value == "help" ? "2" : value == "sneak" ? "3" : value == "blind" ? "1" : "";
      if (options.mode.empty()) return usage(2);
    } else if (arg == "--skill") {
      const auto equals = value.find('=');
      const auto level = parseComputerLevel(value.substr(0, equals));
      const auto skill = equals == std::string::npos ? std::nullopt : parseSkill(value.substr(equals + 1));
      if (!level || !skill || *level == ComputerLevel::Beginner) return usage(2);
      options.skills[std::size_t(*level)] = *skill;
    } else if (arg == "--familiar") {
      std::ifstream in(value);
      if (!in) {
        std::fprintf(stderr, "tilewhirl-strength: cannot read %s\n", value.c_str());
        return 2;
      }
      for (std::string line; std::getline(in, line);) options.familiar.insert(line);
      options.hasFamiliar = true;
    } else if (arg == "--check-labels") {
      options.labelTolerance = std::atoi(value.c_str());
      if (options.labelTolerance < 0) return usage(2);
    } else if (arg == "--pair") {
      const auto colon = value.find(':');
      const auto a = parseComputerLevel(value.substr(0, colon));
      const auto b = colon == std::string::npos ? std::nullopt : parseComputerLevel(value.substr(colon + 1));
      if (!a || !b) return usage(2);
      options.pairs.emplace_back(*a, *b);
    } else {
      return usage(2);
    }
  }
  if (options.games < 1 || options.playTo < 1) return usage(2);
  if (options.pairs.empty()) {
    for (int n = 1; n < kComputerLevelCount; ++n) options.pairs.emplace_back(ComputerLevel(n), ComputerLevel(n - 1));
    options.pairs.emplace_back(ComputerLevel::Expert, ComputerLevel::Beginner);
  }

  TDictn spell(TDictn::MemoryImage(std::string(builtinWordRecords())), [](const std::string&) {});
  const auto built = std::chrono::steady_clock::now();
  HostRules rules = standardRules(spell);
  rules.finder = builtinFinder();  // the list in memory is the built-in one
  std::printf("word list: %d records, %zu playable words in %zu groups, indexed in %.0f ms\n",
              spell.recordCount(), rules.finder->wordCount(), rules.finder->groupCount(),
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - built).count());

  bool refused = false;
  std::map<ComputerLevel, Tally> tallies;
  for (const auto& [a, b] : options.pairs) {
    Side first;
    Side second;
    first.level = a;
    second.level = b;
    long played = 0;
    const auto begin = std::chrono::steady_clock::now();
    for (int g = 0; g < options.games; ++g) {
      const std::uint32_t seed = options.seed * 1000003u + std::uint32_t(g);
      const bool ended = g % 2 == 0 ? playGame(rules, seed, options, first, second)
                                    : playGame(rules, seed, options, second, first);
      played += ended;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    // Wilson score interval of the first level's win rate.
    const double n = double(std::max(1L, played));
    const double p = double(first.wins) / n;
    const double z = 1.96;
    const double centre = (p + z * z / (2 * n)) / (1 + z * z / n);
    const double half = z * std::sqrt(p * (1 - p) / n + z * z / (4 * n * n)) / (1 + z * z / n);
    std::printf("%s vs %s: %ld games to %d (%d unfinished) in %.1f s; %s wins %.1f %% [%.1f, %.1f]\n",
                std::string(levelName(a)).c_str(), std::string(levelName(b)).c_str(), played, options.playTo,
                options.games - int(played), seconds, std::string(levelName(a)).c_str(), 100 * p,
                100 * (centre - half), 100 * (centre + half));
    printSide(first, played, options.hasFamiliar);
    printSide(second, played, options.hasFamiliar);
    for (const Side* s : {&first, &second}) {
      if (s->level != ComputerLevel::Beginner && s->refused > 0) refused = true;
      tallies[s->level].points += s->points;
      tallies[s->level].turns += s->turns;
    }
    std::fflush(stdout);
  }
  bool off = false;
  if (options.labelTolerance >= 0) {
    for (const auto& [level, tally] : tallies) {
      const double measured = double(tally.points) / double(std::max(1L, tally.turns));
      const int label = kLevelPointsATurn[std::size_t(level)];
      const bool bad = std::abs(measured - label) > options.labelTolerance;
      off = off || bad;
      std::printf("label %-8s %5.1f points a turn, labelled %d%s\n", std::string(levelName(level)).c_str(),
                  measured, label, bad ? ": OFF" : "");
    }
  }
  return refused || off ? 1 : 0;
}
