// Whole games in virtual time with the computer playing every seat: after
// every message the board, the bars and the scores must add up, and every
// game must end with exactly one winner.
#include <gtest/gtest.h>

#include <random>

#include "net/commands.h"
#include "support/host_fixture.h"
#include "support/test_words.h"

namespace tw::test {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kGames = 60;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kGames = 60;
#else
constexpr int kGames = 200;
#endif
#else
constexpr int kGames = 200;
#endif

class Soak : public HostTransport {
 public:
  explicit Soak(std::uint32_t seed) : seed_(seed) {}

  void take(int) override {}
  void close(int) override {}
  void send(int slot, const std::string& bytes) override {
    ASSERT_FALSE(bytes.empty());
    ASSERT_EQ(bytes.back(), '\xFF');
    const std::string message = bytes.substr(0, bytes.size() - 1);
    ASSERT_EQ(message.find('\xFF'), std::string::npos);
    ++messages;
    if (slot == 1) observe(message);
    check(slot, message);
  }

  // Plays one game with options drawn from the seed.
  void play(int game) {
    std::mt19937 pick(seed_);
    const int players = 1 + int(pick() % 6);
    const bool spectator = pick() % 4 == 0;
    const int mode = 1 + int(pick() % 3);
    const bool viewable = pick() % 2;
    const bool four = pick() % 3 == 0;
    const int playTo = 100 + 5 * int(pick() % 21);

    HostRules rules;
    rules.checkWord = supplyLikeWordAccepted;
    rules.computerWords = supplyLikeWords();
    rules.seed = seed_;
    ManualTimer socktimer, timer1, computertimer, logintimer, bantimer, ratetimer;
    TServer host(
        *this, HostTimers{socktimer, timer1, computertimer, logintimer, bantimer, ratetimer},
        [](const std::string&) {}, rules);
    host.setBotSpeed(game % 3 == 0 ? 250 : 750);
    host_ = &host;
    VirtualClock clock;
    clock.add(socktimer, [&] { host.socktimerTimer(); });
    clock.add(timer1, [&] { host.timer1Timer(); });
    clock.add(computertimer, [&] { host.computertimerTimer(); });
    clock.add(logintimer, [&] { host.logintimerTimer(); });
    clock.add(ratetimer, [&] { host.ratetimerTimer(); });

    const int connections = spectator ? 7 : players;
    for (int s = 1; s <= connections; ++s) {
      ASSERT_EQ(host.Sock1Accept("192.0.2." + std::to_string(s)), s);
      say(s, "CMD_logininfo+" + std::to_string(s) + "+" + std::string(kVersion) + "+P" + std::to_string(s));
    }
    // A player who left before the start leaves a gap in the turn order.
    if (players >= 4 && pick() % 2) host.tempsockInfo(3);
    while (host.queuedMessages() > 0) clock.step();

    say(1, "CMD_startgame+P1+" + std::to_string(playTo) + "+60+" + (viewable ? "t" : "f") + "+" +
               std::to_string(mode) + "+" + (four ? "1" : "0") + "+");
    for (int s = 1; s <= players; ++s) say(s, "CMD_justwatch+" + std::to_string(s) + "+1");

    const std::int64_t limit = 24LL * 3600 * 1000;  // virtual
    while (clock.now < limit && clock.step()) {
      if (::testing::Test::HasFatalFailure()) return;
    }
    EXPECT_LT(clock.now, limit) << "game " << game << " did not end";
    EXPECT_EQ(winners, 1) << "game " << game;
    EXPECT_FALSE(host.gameRunning());
    EXPECT_EQ(sinceWinner, 0) << "messages after the winner";
    host_ = nullptr;
  }

  void say(int slot, const std::string& message) { host_->Sock1Read(slot, message + '\xFF'); }

  int winners = 0;
  int sinceWinner = 0;
  int words = 0;
  int buys = 0;
  long messages = 0;

 private:
  static bool isCode(int c) { return c >= 1 && c <= 26; }

  // What seat 1's client learns from the broadcasts.
  void observe(const std::string& message) {
    const Command c = splitCommand(message);
    FieldReader body(c.body);
    if (winners > 0) ++sinceWinner;
    if (c.name == cmd::startgame) {
      started_ = true;
      dealing_ = true;
      scores_.fill(0);
    } else if (c.name != cmd::theboard && c.name != cmd::mytiles) {
      dealing_ = false;
    }
    if (c.name == cmd::theboard) {
      for (const auto& g : body.groups(3)) board_[toInt(g[0])][toInt(g[1])] = toInt(g[2]);
    } else if (c.name == cmd::hisword) {
      const int seat = body.nextInt();
      const std::string word(body.next());
      const int total = body.nextInt();
      const int wordScore = body.nextInt();
      scores_[seat] += wordScore;
      EXPECT_EQ(total, scores_[seat]);
      EXPECT_GE(word.size(), 4u);
      EXPECT_LE(word.size(), 7u);
      std::string spelled;
      for (const auto& g : body.groups(1)) spelled += TServer::converttoletter(toInt(g[0]));
      EXPECT_EQ(spelled, word);
      EXPECT_TRUE(supplyLikeWordAccepted(word));
      ++words;
    } else if (c.name == cmd::nextplayer) {
      // Now and then a watching player buys a new bar while the computer
      // plays his turn.
      const int seat = body.nextInt();
      if (host_->seat(seat).connected && buyer_() % 4 == 0)
        say(seat, "CMD_clickbuy+" + std::to_string(seat) + "+");
    } else if (c.name == cmd::buytiles) {
      const int seat = body.nextInt();
      scores_[seat] -= TServer::kBuyPrice;
      EXPECT_EQ(body.nextInt(), scores_[seat]);
      ++buys;
    } else if (c.name == cmd::winner) {
      ++winners;
    }
  }

  void check(int slot, const std::string& message) {
    const TServer& host = *host_;
    // The start announcement goes out before the new board is laid.
    if (!started_ || splitCommand(message).name == cmd::startgame) return;
    for (int x = 1; x <= TServer::kBoardWidth; ++x)
      for (int y = 1; y <= TServer::kBoardHeight; ++y) {
        ASSERT_TRUE(isCode(host.cell(x, y).code));
        // Seat 1 is told a letter only to learn it, and always once it is face up.
        if (!dealing_ && (board_[x][y] != 0 || host.cell(x, y).faceUp)) {
          ASSERT_EQ(board_[x][y], host.cell(x, y).code) << x << "," << y;
        }
      }
    if (dealing_) return;
    for (int s = 1; s <= TServer::seatCount; ++s)
      for (int n = 1; n <= TServer::kBarSize; ++n) ASSERT_TRUE(isCode(host.seat(s).letters[n].code));
    if (slot == 1 && splitCommand(message).name != cmd::mytiles) {
      for (int s = 1; s <= TServer::seatCount; ++s) ASSERT_EQ(host.seat(s).score, scores_[s]) << "seat " << s;
    }
  }

  std::uint32_t seed_;
  std::minstd_rand buyer_{seed_};
  TServer* host_ = nullptr;
  bool started_ = false;
  bool dealing_ = false;
  std::array<std::array<int, 9>, 11> board_{};
  std::array<int, 7> scores_{};
};

TEST(SoakTest, ComputerPlayedGamesStayConsistentAndEndWithOneWinner) {
  long words = 0;
  long buys = 0;
  for (int game = 0; game < kGames; ++game) {
    Soak soak(std::uint32_t(1000 + game));
    soak.play(game);
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "stopped at game " << game;
      return;
    }
    words += soak.words;
    buys += soak.buys;
  }
  EXPECT_GT(words, kGames * 5);
  EXPECT_GT(buys, kGames / 4);
}

}  // namespace
}  // namespace tw::test
