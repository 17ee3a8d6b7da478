// The search image of the word list: the one the build made and one made at
// run time answer alike; a damaged image file is refused; a player's own
// list is indexed once, off the event loop, and only for a level that searches.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <random>
#include <thread>

#include "dictionary/word_lists.h"
#include "host/standard_rules.h"
#include "host/word_finder.h"
#include "support/host_fixture.h"
#include "support/scratch.h"

namespace tw::test {
namespace {

WordFinder::Letters randomLetters(std::mt19937& gen) {
  WordFinder::Letters l;
  const auto letter = [&gen] { return std::size_t(gen() % 26); };
  for (int n = 0; n < rules::kBarSize; ++n) ++l.bar[letter()];
  for (int n = int(gen() % 6); n > 0; --n) ++l.faceUp[letter()];
  for (int n = int(gen() % 30); n > 0; --n) ++l.known[letter()];
  l.flips = int(gen() % 6);
  return l;
}

// The best word's score, its words, and where its letters come from.
std::string answer(const WordFinder& finder, const WordFinder::Letters& l, const WordFinder::Part& part) {
  const WordFinder::Best best = finder.best(l, part);
  std::string out = std::to_string(best.score) + ":";
  for (const auto word : finder.words(best.group)) out += std::string(word) + ",";
  for (std::size_t k = 0; k < 26; ++k)
    out += std::to_string(best.use.bar[k]) + std::to_string(best.use.faceUp[k]) + std::to_string(best.use.known[k]);
  return out;
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

TEST(WordImage, TheBuiltInImageAnswersAsOneBuiltAtRunTimeAndReadBackFromAFile) {
  const WordFinder& builtin = WordFinder::builtin();
  const WordFinder runTime = WordFinder::fromRecords(builtinWordRecords());
  ASSERT_GT(builtin.wordCount(), 100000u);
  EXPECT_EQ(builtin.wordCount(), runTime.wordCount());
  EXPECT_TRUE(builtin.image() == runTime.image());

  const auto path = scratchPath("word-image");
  writeFile(path, runTime.image());
  std::string error;
  const auto fromFile = WordFinder::fromImageFile(path, error);
  std::filesystem::remove(path);
  ASSERT_TRUE(fromFile) << error;

  std::mt19937 gen(5);
  int words = 0;
  for (int i = 0; i < 300; ++i) {
    const auto l = randomLetters(gen);
    const WordFinder::Part part{i % 3 ? 100 : 40, std::uint32_t(gen())};
    const std::string expected = answer(runTime, l, part);
    EXPECT_EQ(answer(builtin, l, part), expected);
    EXPECT_EQ(answer(*fromFile, l, part), expected);
    words += builtin.best(l, part).group >= 0;
  }
  EXPECT_GT(words, 250);
}

TEST(WordImage, ADamagedImageIsRefusedWithAReasonAndNeverReadOutside) {
  const WordFinder small = WordFinder::fromWords({"tea", "eat", "seat", "quiet", "zeta", "streets"});
  const std::string good(small.image());
  std::string error;
  ASSERT_TRUE(WordFinder::fromImage(good, error)) << error;

  const auto path = scratchPath("word-image-cut");
  for (std::size_t size = 0; size < good.size(); ++size) {
    writeFile(path, good.substr(0, size));
    error.clear();
    EXPECT_FALSE(WordFinder::fromImageFile(path, error)) << size;
    EXPECT_EQ(error.rfind("Word image \"" + path.string() + "\" is not a word image", 0), 0u) << error;
  }
  std::filesystem::remove(path);
  EXPECT_FALSE(WordFinder::fromImageFile(path, error));
  EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;

  // Every byte flipped in turn: refused, or read without reaching outside
  // (the sanitizer build watches).
  std::mt19937 gen(3);
  int refused = 0;
  for (std::size_t at = 0; at < good.size(); ++at) {
    std::string bad = good;
    bad[at] = char(bad[at] ^ (1 << (gen() % 8)));
    const auto finder = WordFinder::fromImage(bad, error);
    refused += !finder;
    if (finder)
      for (int i = 0; i < 5; ++i) (void)answer(*finder, randomLetters(gen), {100, 0});
  }
  EXPECT_GT(refused, 40);

  std::string foreign = good;
  foreign[8] = 3;  // the version
  EXPECT_FALSE(WordFinder::fromImage(foreign, error));
  EXPECT_NE(error.find("version 3, not 2"), std::string::npos) << error;
}

// A later image may carry more sections (a byte per word, say): this reader
// finds its own by name and answers as before.
TEST(WordImage, ASectionOfAnotherNameIsPassedOver) {
  const WordFinder small = WordFinder::fromWords({"tea", "eat", "seat", "quiet", "zeta", "streets"});
  std::string image(small.image());
  std::uint32_t sections = 0;
  std::memcpy(&sections, image.data() + 12, 4);
  // Moves the sections down by one table entry and adds "TIER" at the end.
  const std::size_t table = 32 + sections * 24;
  std::string extra(24, '\0');
  image.insert(table, extra);
  for (std::uint32_t i = 0; i < sections; ++i) {
    std::uint64_t offset = 0;
    std::memcpy(&offset, image.data() + 32 + i * 24 + 8, 8);
    offset += 24;
    std::memcpy(image.data() + 32 + i * 24 + 8, &offset, 8);
  }
  const std::uint64_t tierAt = image.size();
  const std::uint64_t tierBytes = small.wordCount();
  image.append(std::string(tierBytes, '\1') + std::string((8 - tierBytes % 8) % 8, '\0'));
  std::memcpy(image.data() + table, "TIER", 4);
  std::memcpy(image.data() + table + 8, &tierAt, 8);
  std::memcpy(image.data() + table + 16, &tierBytes, 8);
  ++sections;
  std::memcpy(image.data() + 12, &sections, 4);
  const std::uint64_t total = image.size();
  std::memcpy(image.data() + 16, &total, 8);

  std::string error;
  const auto later = WordFinder::fromImage(image, error);
  ASSERT_TRUE(later) << error;
  std::mt19937 gen(9);
  for (int i = 0; i < 50; ++i) {
    const auto l = randomLetters(gen);
    EXPECT_EQ(answer(*later, l, {100, 0}), answer(small, l, {100, 0}));
  }
}

// A player's own list: the build waits on `release`, so the test sees the game wait.
class OwnListGames : public HostFixture {
 protected:
  OwnListGames() : HostFixture(rulesWithBuild(builds, release)) {}
  ~OwnListGames() override { letBuild(); }  // the host waits for its build when it ends
  void letBuild() {
    if (!releasedYet) released.set_value();
    releasedYet = true;
  }
  static HostRules rulesWithBuild(std::atomic<int>& builds, std::shared_future<void>& release) {
    const std::vector<std::string> words = {"tea", "eat", "seat", "east", "rates", "stare", "tears", "aster"};
    HostRules rules = testRules(words, words);
    rules.buildFinder = [&builds, &release, words] {
      ++builds;
      release.wait();
      return WordFinder::fromWords(words);
    };
    return rules;
  }
  // Ann watches, so the computer plays both seats.
  void startWatching() {
    start("Ann+300+60+f+1+0+");
    say(1, "CMD_justwatch+1+1");
    pump();
  }
  int flips(const std::vector<std::string>& got) {
    return int(std::count_if(got.begin(), got.end(), [](const std::string& m) { return m.rfind("CMD_heflip+", 0) == 0; }));
  }
  std::atomic<int> builds{0};
  std::promise<void> released;
  bool releasedYet = false;
  std::shared_future<void> release = released.get_future().share();
};

TEST_F(OwnListGames, ABeginnerGameNeverIndexesTheList) {
  letBuild();
  join("Ann");
  host.setComputerLevel(ComputerLevel::Beginner);
  startWatching();
  tickBot(200);
  EXPECT_GT(flips(take(1)), 0);
  EXPECT_EQ(builds, 0);
}

TEST_F(OwnListGames, AClubGameWaitsForTheIndexWhichIsBuiltOnceForAllGames) {
  join("Ann");
  host.setComputerLevel(ComputerLevel::Club);
  for (int game = 0; game < 5; ++game) startWatching();  // a peer who starts again and again
  take(1);
  tickBot(50);
  EXPECT_TRUE(computertimer.running());  // waiting, not stuck
  EXPECT_EQ(flips(take(1)), 0);

  letBuild();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  int seen = 0;
  while (seen == 0 && std::chrono::steady_clock::now() < deadline) {
    tickBot(1);
    seen += flips(take(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_GT(seen, 0);
  EXPECT_EQ(builds, 1);
  for (int game = 0; game < 3; ++game) startWatching();
  tickBot(100);
  EXPECT_GT(flips(take(1)), 0);
  EXPECT_EQ(builds, 1);
}

}  // namespace
}  // namespace tw::test
