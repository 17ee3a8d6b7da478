// The levels above Beginner: they read nothing the seat has not seen, find
// the word the host scores highest, the host never refuses what they submit,
// and the lower levels play words a player knows.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "dictionary/dictn.h"
#include "dictionary/word_lists.h"
#include "dictionary/word_sizes.h"
#include "host/standard_rules.h"
#include "net/commands.h"
#include "support/host_fixture.h"

namespace tw::test {
namespace {

const std::vector<std::string> kWords = {"at",    "eat",   "tea",     "seat",     "east",    "teas",
                                         "tease", "zeta",  "zetas",   "trees",    "street",  "setter",
                                         "quiet", "quite", "quieter", "requites", "streets", "testers"};

// Random views: a bar, some cells face up this turn, some remembered; the
// rest hidden, holding `hidden(x, y)`.
SeatView randomView(std::mt19937& gen, const std::function<int(int, int)>& hidden) {
  const char* letters = "aeeiorsttnlzqu";
  SeatView view;
  for (int n = 1; n <= rules::kBarSize; ++n) view.bar[std::size_t(n)] = letters[gen() % 14] - 'a' + 1;
  const int faceUp = int(gen() % 6);
  for (int x = 1; x <= rules::kBoardWidth; ++x)
    for (int y = 1; y <= rules::kBoardHeight; ++y) {
      SeatView::Cell& cell = view.board[std::size_t(x)][std::size_t(y)];
      const int i = (x - 1) * rules::kBoardHeight + y - 1;
      cell.faceUp = i < faceUp;
      cell.known = cell.faceUp || gen() % 3 == 0;
      cell.code = cell.known ? letters[gen() % 14] - 'a' + 1 : hidden(x, y);
    }
  view.flipsLeft = rules::kMaxFlips - faceUp;
  return view;
}

TEST(ComputerLevels, ChoicesNeverDependOnHiddenCells) {
  const WordFinder finder = WordFinder::fromWords(kWords);
  const auto accept = [](const std::string&) { return true; };
  for (std::uint32_t seed = 0; seed < 300; ++seed) {
    std::mt19937 a(seed), b(seed);
    std::mt19937 poison(seed + 1);
    const SeatView clean = randomView(a, [](int, int) { return 0; });
    const SeatView poisoned = randomView(b, [&](int, int) { return int(poison() % 26) + 1; });
    for (const WordFinder::Part part : {WordFinder::Part{100, 0}, WordFinder::Part{40, seed}}) {
      std::mt19937 r1(seed), r2(seed);
      const auto flips1 = chooseFlips(finder, clean, part, [&](int n) { return int(r1() % unsigned(n)); });
      const auto flips2 = chooseFlips(finder, poisoned, part, [&](int n) { return int(r2() % unsigned(n)); });
      EXPECT_EQ(flips1, flips2) << seed;
      const auto word1 = chooseWord(finder, clean, part, accept);
      const auto word2 = chooseWord(finder, poisoned, part, accept);
      ASSERT_EQ(word1.has_value(), word2.has_value()) << seed;
      if (word1) {
        EXPECT_EQ(word1->refs, word2->refs) << seed;
      }
    }
  }
}

// The best score the host can give a word over every split of each of its
// letters between the cells face up and the bar; -1 when it cannot be spelled.
int bestScore(const std::string& word, const SeatView& view) {
  std::array<int, 27> need{}, cells{}, bar{};
  for (char c : word) ++need[std::size_t(c - 'a' + 1)];
  for (int x = 1; x <= rules::kBoardWidth; ++x)
    for (int y = 1; y <= rules::kBoardHeight; ++y)
      if (view.board[std::size_t(x)][std::size_t(y)].faceUp)
        ++cells[std::size_t(view.board[std::size_t(x)][std::size_t(y)].code)];
  for (int n = 1; n <= rules::kBarSize; ++n) ++bar[std::size_t(view.bar[std::size_t(n)])];
  int best = -1;
  std::function<void(int, int, int)> split = [&](int code, int sum, int board) {
    if (code > 26) {
      const int fromBar = int(word.size()) - board;
      best = std::max(best, sum + rules::lengthBonus(word.size()) +
                                (board == rules::kMaxFlips ? rules::kAllFlipsBonus : 0) +
                                (fromBar == rules::kBarSize ? rules::kWholeBarBonus : 0));
      return;
    }
    const int c = need[std::size_t(code)];
    for (int fromCells = 0; fromCells <= std::min(c, cells[std::size_t(code)]); ++fromCells)
      if (c - fromCells <= bar[std::size_t(code)])
        split(code + 1, sum + rules::letterValue(code) * (c + fromCells), board + fromCells);
  };
  split(1, 0, 0);
  return best;
}

TEST(ComputerLevels, TheWordChosenScoresHighestAsTheHostScoresIt) {
  // Every seventh word of the built-in list; half the bars are drawn from
  // one of its longer words, so that whole-bar words come up.
  std::vector<std::string> words;
  std::vector<std::string> longWords;
  const std::string_view records = builtinWordRecords();
  for (std::size_t at = 0; at < records.size(); at += 7 * 15) {
    std::string w(records.substr(at + 1, 14));
    w.erase(w.find_last_not_of(' ') + 1);
    for (char& c : w) c = char(c - 'A' + 'a');
    if (w.size() > std::size_t(rules::kWordPositions)) continue;
    words.push_back(w);
    if (w.size() >= 8) longWords.push_back(w);
  }
  const WordFinder finder = WordFinder::fromWords(words);
  std::mt19937 gen(3);
  int wholeBars = 0;
  for (int round = 0; round < 120; ++round) {
    std::string tiles = round % 2 ? "" : longWords[gen() % longWords.size()];
    std::shuffle(tiles.begin(), tiles.end(), gen);
    while (tiles.size() < 12) tiles += "aeeiorsttnlzqu"[gen() % 14];
    SeatView view;
    for (int n = 1; n <= rules::kBarSize; ++n) view.bar[std::size_t(n)] = tiles[std::size_t(n - 1)] - 'a' + 1;
    for (int k = 0; k < rules::kMaxFlips; ++k) {
      SeatView::Cell& cell = view.board[std::size_t(k + 1)][3];
      cell = {tiles[std::size_t(rules::kBarSize + k)] - 'a' + 1, true, true};
    }
    view.flipsLeft = 0;
    int expected = -1;
    for (const auto& w : words) expected = std::max(expected, bestScore(w, view));
    const auto choice = chooseWord(finder, view, {100, 0}, [](const std::string&) { return true; });
    ASSERT_EQ(choice.has_value(), expected > 0) << round;
    if (!choice) continue;
    EXPECT_EQ(choice->score, expected) << round << " " << choice->word;
    // The references spell the word from distinct face-up cells and bar slots.
    std::string spelled;
    int fromBar = 0;
    for (const CellRef r : choice->refs) {
      EXPECT_EQ(std::count(choice->refs.begin(), choice->refs.end(), r), 1);
      const auto& cell = view.board[std::size_t(r.x)][std::size_t(r.y)];
      EXPECT_TRUE(r.x == 0 || cell.faceUp);
      spelled += char('a' + (r.x == 0 ? view.bar[std::size_t(r.y)] : cell.code) - 1);
      fromBar += r.x == 0;
    }
    EXPECT_EQ(spelled, choice->word);
    wholeBars += fromBar == rules::kBarSize;
  }
  EXPECT_GT(wholeBars, 5);
}

class SkilledGames : public HostFixture {
 protected:
  SkilledGames() : HostFixture(rulesWith(spell)) {}
  static HostRules rulesWith(const TDictn& spell) {
    HostRules rules = standardRules(spell);
    rules.finder = builtinFinder();  // the list in memory is the built-in one
    rules.seed = 11;
    return rules;
  }
  static inline TDictn spell{TDictn::MemoryImage(std::string(builtinWordRecords())),
                             [](const std::string&) {}};
};

TEST_F(SkilledGames, TheHostRefusesNoWordOfAnyLevelAndCasualAndClubPlayFamiliarWords) {
  std::ifstream standard("/usr/share/dict/american-english");
  ASSERT_TRUE(standard) << "install wamerican (tools/deps.sh)";
  std::set<std::string> familiar;
  for (std::string line; std::getline(standard, line);) familiar.insert(line);

  VirtualClock clock;
  clock.add(socktimer, [this] { host.socktimerTimer(); });
  clock.add(timer1, [this] { host.timer1Timer(); });
  clock.add(computertimer, [this] { host.computertimerTimer(); });
  join("Ann");
  const auto count = [](const std::vector<std::string>& got, const std::string& message) {
    return std::count(got.begin(), got.end(), message);
  };
  std::map<ComputerLevel, std::vector<std::string>> played;
  for (int game = 0; game < 10; ++game) {
    const auto levels = std::array{ComputerLevel(game % kComputerLevelCount),
                                   ComputerLevel((game + 2) % kComputerLevelCount)};
    host.setComputerLevel(1, levels[0]);
    host.setComputerLevel(2, levels[1]);
    start("Ann+300+60+" + std::string(game % 2 ? "t" : "f") + "+" + std::to_string(1 + game % 3) + "+0+");
    say(1, "CMD_justwatch+1+1");  // Ann's seat is played by the computer too
    while (host.gameRunning() && clock.now < 24LL * 3600 * 1000) clock.step();
    ASSERT_FALSE(host.gameRunning()) << game;
    const auto got = take(1);
    // Both sides are told once a game whom they face.
    const std::string level1(levelName(levels[0]));
    const std::string level2(levelName(levels[1]));
    EXPECT_EQ(count(got, "CMD_action+1+The computer plays Ann's turns at the " + level1 + " level.|clGray"),
              levels[0] == ComputerLevel::Beginner ? 0 : 1);
    EXPECT_EQ(count(got, "CMD_action+2+Klot plays at the " + level2 + " level.|clGray"),
              levels[1] == ComputerLevel::Beginner ? 0 : 1);
    for (const auto& m : got) {
      EXPECT_NE(m.rfind("CMD_invalid", 0), 0u) << game;
      if (m.rfind("CMD_hisword+", 0) != 0) continue;
      const Command c = splitCommand(m);
      FieldReader body(c.body);
      const int seat = body.nextInt();
      played[levels[std::size_t(seat - 1)]].emplace_back(body.next());
    }
    EXPECT_FALSE(std::any_of(log.begin(), log.end(), TServer::refusesWord)) << game;
  }
  // Casual and Club keep to the smaller list sizes; the standard list judges
  // whether a player would know their words.
  for (const ComputerLevel level : {ComputerLevel::Casual, ComputerLevel::Club}) {
    const int most = standardSkills()[std::size_t(level)].listSize;
    ASSERT_GT(most, 0);
    const auto& words = played[level];
    ASSERT_GT(words.size(), 20u) << levelName(level);
    long known = 0;
    for (const auto& w : words) {
      EXPECT_LE(listSizeOf(w), most) << w;
      known += familiar.count(w) > 0;
    }
    EXPECT_GE(double(known), 0.95 * double(words.size())) << levelName(level);
  }
  EXPECT_GT(played[ComputerLevel::Expert].size(), 20u);
}

}  // namespace
}  // namespace tw::test
