// The tally of games: what a finished game and a scored word change, the
// tally file both ways, and what happens to a damaged or half-written file.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "client/atomic_file.h"
#include "client/tally.h"
#include "compression/lzrw1_file.h"
#include "support/full_disk.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using Row = std::array<std::string, 8>;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class TallyFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tw_tally_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
            std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path() const { return (dir_ / "Tilewhirltally.tld").string(); }
  fs::path dir_;
};

TEST(TallyGame, OwnWinsOtherWinsAndWhoIsTouched) {
  Tally t;
  EXPECT_EQ(t.mylabel(1), "0");
  EXPECT_EQ(t.mylabel(2), "0");
  EXPECT_EQ(t.mylabel(3), "0");
  t.loadchecklist({"Bob", "<Waiting>", "Cy"});
  ASSERT_EQ(t.checklist().size(), 2u);
  EXPECT_FALSE(t.checklist()[0].checked);
  t.tallyPlayer("Bob");
  t.tallyPlayer("bob");  // already tallied, whatever the case
  t.tallyPlayer("Dee");
  EXPECT_EQ(t.talliedNames(), (std::vector<std::string>{"Bob", "Dee"}));
  EXPECT_TRUE(t.checklist()[0].checked);

  t.addgame({true, "Ann"}, {"Bob", "Cy"});
  EXPECT_EQ(t.mylabel(1), "1");
  EXPECT_EQ(t.mylabel(2), "1");
  EXPECT_EQ(t.talliedRow(0), (Row{"1", "0", "1", "0", "1", "0", "1", "0"}));
  EXPECT_EQ(t.talliedRow(1), (Row{"0", "0", "0", "0", "0", "0", "0", "0"}));  // Dee did not play

  t.addgame({false, "Cy"}, {"Bob", "Cy"});  // a third player won
  EXPECT_EQ(t.talliedRow(0), (Row{"2", "0", "1", "1", "2", "0", "1", "1"}));
  t.addgame({false, "Bob"}, {"Bob"});
  EXPECT_EQ(t.talliedRow(0), (Row{"3", "1", "1", "1", "3", "1", "1", "1"}));
  EXPECT_EQ(t.mylabel(1), "3");
  EXPECT_EQ(t.mylabel(2), "1");

  // The seat's "BOB" is the tallied Bob, for the lists and as the winner.
  t.addgame({false, "BOB"}, {"BOB"});
  EXPECT_EQ(t.talliedRow(0), (Row{"4", "2", "1", "1", "4", "2", "1", "1"}));
  // Windows-1252 capitals fold too: "\x8A\x8C\x8E\x9F\xC9" is "\x9A\x9C\x9E\xFF\xE9".
  t.tallyPlayer("\x8A\x8C\x8E\x9F\xC9");
  t.addgame({false, "\x9A\x9C\x9E\xFF\xE9"}, {"\x9A\x9C\x9E\xFF\xE9"});
  EXPECT_EQ(t.talliedRow(2), (Row{"1", "1", "0", "0", "1", "1", "0", "0"}));
  EXPECT_FALSE(sameName("\x8A", "\x9B"));

  // An opponent named like the old own-win marker wins as himself.
  t.tallyPlayer("addtomine");
  t.addgame({false, "addtomine"}, {"addtomine"});
  EXPECT_EQ(t.talliedRow(3), (Row{"1", "1", "0", "0", "1", "1", "0", "0"}));
  EXPECT_EQ(t.mylabel(2), "1");
}

TEST(TallyGame, WordsBestWordRemovalAndReset) {
  Tally t;
  t.addtomineincrease(3);
  t.addtomineset(4, 0, "zero");  // a 0-point word counts but is never best
  EXPECT_EQ(t.mylabel(3), "1");
  EXPECT_EQ(t.mylabel(4), "-");
  t.addtomineset(4, 12, "quiz");
  t.addtomineset(4, 12, "jinx");  // a tie keeps the older word
  t.addtomineset(4, 9, "cat");
  EXPECT_EQ(t.mylabel(4), "quiz (12)");
  t.addtomineset(8, 99, "out of the grid");
  t.addtomineincrease(9);
  t.addtomineincrease(-1);
  EXPECT_EQ(t.grid().rowCount(), 1);

  t.tallyPlayer("Ann");
  t.untallyPlayer(5);
  t.untallyPlayer(0);  // the last opponent
  EXPECT_EQ(t.grid().rowCount(), 1);
  EXPECT_TRUE(t.talliedNames().empty());

  t.reset();
  EXPECT_EQ(t.grid().cell(4, 0), "-");
  EXPECT_EQ(t.mylabel(3), "0");
  EXPECT_EQ(t.mylabel(4), "-");
  t.tallyPlayer("Ann");
  t.addtomineset(4, 5, "word");
  t.reset();
  EXPECT_EQ(t.grid(), TallyGrid());
  EXPECT_EQ(t.mylabel(4), "-");
}

TEST(TallyGrid, TextBothWaysAndHostileText) {
  TallyGrid g;
  g.appendRow({"Bob", "1", "2", "3", "4", "5", "6", "7", "8"});
  const std::string text = g.text();
  EXPECT_EQ(text,
            "9\r\n2\r\n0\r\nBob\r\n0\r\n1\r\n0\r\n2\r\n0\r\n3\r\n0\r\n4\r\n0\r\n5\r\n0\r\n6\r\n0\r\n7\r\n0\r"
            "\n8\r\n");
  EXPECT_EQ(TallyGrid::parse(text), g);
  EXPECT_EQ(TallyGrid::parse("9\n1\n0\n1\n2\n3\n4\n5\n6\n7\n8"), ([] {
              TallyGrid one;
              for (int c = 1; c < 9; ++c) one.setCell(c, 0, std::to_string(c));
              return one;
            }()));

  // A name with a line break stays one cell.
  TallyGrid odd;
  odd.appendRow({"Ev\r\nil", "0", "0", "0", "0", "0", "0", "0", "0"});
  EXPECT_EQ(TallyGrid::parse(odd.text()).cell(0, 1), "Ev  il");

  for (const char* bad :
       {"", "9\r\n", "x\r\n1\r\n", "9\r\n-1\r\n", "8\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n",
        "9\r\n0\r\n", "9\r\n4000000000\r\n", "9\r\n99999999999999999999\r\n", "9\r\n400000000\r\n0\r\n",
        "9\r\n2\r\n0\r\n0\r\n0\r\n"})
    EXPECT_THROW(TallyGrid::parse(bad), TallyError) << bad;
}

TEST_F(TallyFileTest, EverySaveIsOnDiskAndReadsBackWithFreshSessionColumns) {
  {
    Tally t(path());
    t.tallyPlayer("Bob");
    t.addgame({false, "Bob"}, {"Bob"});
    t.addtomineincrease(3);
    t.addtomineset(4, 7, "jam");
    // A second copy reads the file while the first still runs, as after a
    // crash right after the game.
    Tally after(path());
    EXPECT_TRUE(after.loadNotice().empty());
    EXPECT_EQ(after.mylabel(1), "1");
    EXPECT_EQ(after.mylabel(4), "jam (7)");
    EXPECT_EQ(after.talliedRow(0), (Row{"1", "1", "0", "0", "0", "0", "0", "0"}));
  }
  const std::string bytes = readFile(path());
  ASSERT_GE(bytes.size(), 8u);
  EXPECT_EQ(bytes.substr(0, 4), "WRZL");
  EXPECT_FALSE(fs::exists(path() + ".new"));
  // The file codec reads what the tally wrote, and the tally reads what the
  // file codec writes.
  Tlzrw1 codec;
  codec.inputFile = path();
  codec.outputFile = (dir_ / "grid.txt").string();
  codec.decompress();
  const std::string text = readFile(dir_ / "grid.txt");
  EXPECT_EQ(text.substr(0, 9), "9\r\n2\r\n0\r\n");
  EXPECT_EQ(decodeTally(bytes).text(), text);
  writeFile(dir_ / "grid.txt", "9\r\n1\r\n0\r\n5\r\n0\r\n0\r\n-\r\n0\r\n0\r\n0\r\n0\r\n");
  codec.inputFile = (dir_ / "grid.txt").string();
  codec.outputFile = path();
  codec.compress();
  EXPECT_EQ(Tally(path()).mylabel(1), "5");
}

TEST_F(TallyFileTest, ADamagedFileIsKeptAsideAndTheNewTallyNeverOverwritesIt) {
  const std::string garbage = "not a tally at all";
  writeFile(path(), garbage);
  {
    Tally t(path());
    EXPECT_EQ(t.grid(), TallyGrid());
    EXPECT_NE(t.loadNotice().find(path()), std::string::npos);
    EXPECT_NE(t.loadNotice().find(path() + ".damaged"), std::string::npos);
    t.addtomineincrease(1);
  }
  EXPECT_EQ(readFile(path() + ".damaged"), garbage);
  EXPECT_EQ(Tally(path()).mylabel(1), "1");

  // A container whose grid is forged: the second damaged file is numbered.
  writeFile(path(), lzrw1Compress("9\r\n4000000000\r\n0\r\n"));
  Tally again(path());
  EXPECT_NE(again.loadNotice().find(path() + ".damaged.1"), std::string::npos);
  EXPECT_EQ(readFile(path() + ".damaged"), garbage);
  EXPECT_TRUE(fs::exists(path() + ".damaged.1"));
  EXPECT_FALSE(fs::exists(path()));
  // An empty file, as a crash during an in-place write leaves, is damaged too.
  writeFile(path(), "");
  EXPECT_FALSE(Tally(path()).loadNotice().empty());
  EXPECT_TRUE(fs::exists(path() + ".damaged.2"));
}

TEST_F(TallyFileTest, AFailedWriteIsToldOnceAndTriedAgainAtTheEnd) {
  std::vector<std::string> log;
  {
    Tally t(path(), [&](const std::string& line) { log.push_back(line); });
    {
      test::FullDisk full(8);  // no tally fits
      ASSERT_TRUE(full.ok());
      t.addtomineincrease(1);
      t.addtomineincrease(1);
    }
    EXPECT_EQ(log.size(), 1u);  // told once, not at every change
    EXPECT_FALSE(fs::exists(path()));
  }
  // The end of the run saved what the failed writes could not.
  EXPECT_EQ(Tally(path()).mylabel(1), "2");
}

// Another copy that holds the file's lock is waited for: its change is read
// before this one is made, not written over.
TEST_F(TallyFileTest, AChangeWaitsForTheCopyHoldingTheLock) {
  Tally mine(path());
  std::atomic<bool> held{false};
  std::thread other([&] {
    FileLock lock(path() + ".lock");
    held = true;
    TallyGrid theirs;
    theirs.setCell(1, 0, "5");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    writeFileAtomically(path(), encodeTally(theirs));
  });
  while (!held) std::this_thread::yield();
  mine.addtomineincrease(1);
  other.join();
  EXPECT_EQ(mine.mylabel(1), "6");
  EXPECT_EQ(Tally(path()).mylabel(1), "6");
}

// The lock file goes at the end of a run, but only while no other copy holds
// it; a copy that waited on the removed file locks the path's new one, so two
// copies never both think they hold the lock.
TEST_F(TallyFileTest, TheLockFileGoesAtTheEndAndAWaiterNeverHoldsARemovedOne) {
  const std::string lockPath = path() + ".lock";
  auto tally = std::make_unique<Tally>(path());
  tally->addtomineincrease(1);
  EXPECT_TRUE(fs::exists(lockPath));
  {
    FileLock other(lockPath);
    ASSERT_TRUE(other.locked());
    tally.reset();
  }
  EXPECT_TRUE(fs::exists(lockPath));  // another copy held it at the end
  { Tally(path()).addtomineincrease(1); }
  EXPECT_FALSE(fs::exists(lockPath));
  EXPECT_EQ(Tally(path()).mylabel(1), "2");

  auto holder = std::make_unique<FileLock>(lockPath);
  ASSERT_TRUE(holder->locked());
  std::atomic<bool> started{false};
  std::unique_ptr<FileLock> waiter;
  std::thread other([&] {
    started = true;
    waiter = std::make_unique<FileLock>(lockPath);
  });
  while (!started) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // it has opened the file and waits
  holder->removeFile();
  holder.reset();
  other.join();
  ASSERT_TRUE(waiter->locked());
  EXPECT_TRUE(fs::exists(lockPath));
  EXPECT_FALSE(FileLock(lockPath, FileLock::Wait::No).locked());  // a newcomer waits for the waiter
}

TEST_F(TallyFileTest, TheTallyLiesBesideTheProgramWhenThatFolderCanBeWritten) {
  EXPECT_EQ(tallyPath(dir_.string(), (dir_ / "data").string()), (dir_ / "Tilewhirltally.tld").string());
  EXPECT_EQ(tallyPath((dir_ / "missing").string(), (dir_ / "data").string()),
            (dir_ / "data" / "Tilewhirltally.tld").string());
}

}  // namespace
}  // namespace tw
