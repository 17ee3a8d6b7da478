// Lookup rules of TDictn and the handling of the working file "English".
#include "dictionary/dictn.h"
#include "dictionary/word_lists.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace tw {
namespace {

namespace fs = std::filesystem;

std::string record(std::string word) {
  word.resize(14, ' ');
  return "\x1e" + word;
}

std::string imageOf(std::initializer_list<std::string> words) {
  std::string image;
  for (const std::string& w : words) image += record(w);
  return image;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

struct TempDir {
  fs::path path;
  TempDir() {
    static std::atomic<int> counter{0};
    path = fs::temp_directory_path() /
           ("tw_dictn_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~TempDir() { fs::remove_all(path); }
};

struct Log {
  std::vector<std::string> lines;
  TDictn::LogFn fn() {
    return [this](const std::string& line) { lines.push_back(line); };
  }
};

// --- Keys ---

TEST(DictnKeys, CaseAndSurroundingSpacesGiveTheSameAnswer) {
  Log log;
  TDictn d(TDictn::MemoryImage{imageOf({"ANT", "CATS", "DOG"})}, log.fn());
  for (const char* key : {"cats", "CATS", "CaTs", "  cats", "cats   ", "  cAtS "})
    EXPECT_EQ(d.FindRecord(key), 1) << '"' << key << '"';
  EXPECT_EQ(d.FindRecord(std::string("\0cats\0\0", 7)), 1);
  EXPECT_TRUE(d.CheckWord(" Dog "));
  EXPECT_FALSE(d.CheckWord("cat"));
  EXPECT_FALSE(d.CheckWord("catss"));
}

TEST(DictnKeys, EmptyOrBlankKeyIsNotFound) {
  Log log;
  // A record of spaces only would match a blank key padded to the record text.
  TDictn d(TDictn::MemoryImage{imageOf({"", "A"})}, log.fn());
  EXPECT_EQ(d.FindRecord(""), -1);
  EXPECT_EQ(d.FindRecord("     "), -1);
  EXPECT_EQ(d.FindRecord(std::string(3, '\0')), -1);
  EXPECT_EQ(d.FindRecord("a"), 1);
}

TEST(DictnKeys, FifteenLetterKeyNeverMatchesItsCutForm) {
  Log log;
  TDictn d(TDictn::MemoryImage{imageOf({"ABCDEFGHIJKLMN", "ABCDEFGHIJKLMNO"})}, log.fn());
  EXPECT_EQ(d.FindRecord("abcdefghijklmno"), -1);
  EXPECT_EQ(d.FindRecord("abcdefghijklmnop"), -1);
  EXPECT_EQ(d.FindRecord("abcdefghijklmn"), 0);
}

TEST(DictnKeys, OnlyTheFirst255BytesCount) {
  Log log;
  TDictn d(TDictn::MemoryImage{imageOf({"AB"})}, log.fn());
  EXPECT_EQ(d.FindRecord(std::string(253, ' ') + "ab"), 0);
  EXPECT_EQ(d.FindRecord(std::string(254, ' ') + "ab"), -1);
  EXPECT_EQ(d.FindRecord("ab" + std::string(5000, ' ')), 0);
}

TEST(DictnKeys, EveryByteAtEveryPlaceIsNormalisedLikeTheRecords) {
  // Only a-z change (to upper case) and NUL reads as space, whatever the
  // byte and wherever it stands in a key of any length.
  for (int length = 1; length <= 14; ++length) {
    for (int place = 0; place < length; ++place) {
      for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        if ((c == ' ' || c == '\0') && (place == 0 || place == length - 1)) continue;
        std::string word(static_cast<std::size_t>(length), 'q');
        word[static_cast<std::size_t>(place)] = c;
        std::string text = word;
        for (char& t : text)
          t = t >= 'a' && t <= 'z' ? static_cast<char>(t - 'a' + 'A') : t == '\0' ? ' ' : t;
        Log log;
        TDictn d(TDictn::MemoryImage{record(text)}, log.fn());
        ASSERT_EQ(d.FindRecord(word), 0) << length << " " << place << " " << byte;
      }
    }
  }
}

TEST(DictnKeys, KeysOutsideTheLettersAreNotFound) {
  Log log;
  TDictn d(TDictn::MemoryImage{imageOf({"CAT", "CATS"})}, log.fn());
  for (const char* key : {"ca ts", "cat's", "cat\xe9", "\xff\xff", "c", "~~~", "cat-s"})
    EXPECT_EQ(d.FindRecord(key), -1) << key;
}

// --- Records ---

TEST(DictnRecords, FirstAndLastRecordOfTheBuiltInList) {
  Log log;
  TDictn d(TDictn::MemoryImage{std::string(builtinWordRecords())}, log.fn());
  ASSERT_EQ(d.source(), TDictn::Source::Memory);
  const std::string_view records = builtinWordRecords();
  auto wordAt = [&](std::size_t i) {
    std::string w(records.substr(i * 15 + 1, 14));
    w.erase(w.find_last_not_of(' ') + 1);
    std::transform(w.begin(), w.end(), w.begin(), [](char c) { return static_cast<char>(c - 'A' + 'a'); });
    return w;
  };
  EXPECT_EQ(d.FindRecord(wordAt(0)), 0);
  EXPECT_EQ(d.FindRecord(wordAt(1)), 1);
  const int last = d.recordCount() - 1;
  EXPECT_EQ(d.FindRecord(wordAt(static_cast<std::size_t>(last))), last);
  EXPECT_EQ(d.FindRecord(wordAt(static_cast<std::size_t>(last)) + "z"), -1);
  EXPECT_EQ(d.FindRecord("a"), -1);
}

TEST(DictnRecords, FourteenLetterKeyMatchesTheFirstOfARunOfCutWords) {
  // Full words sorted, then cut to 14 letters: the cut ones repeat.
  Log log;
  TDictn d(TDictn::MemoryImage{imageOf(
               {"COUNTERPOINT", "COUNTERREVOLUT", "COUNTERREVOLUT", "COUNTERREVOLUT", "COUNTERSIGN"})},
           log.fn());
  EXPECT_EQ(d.FindRecord("counterrevolut"), 1);
  EXPECT_EQ(d.FindRecord("counterrevolutionary"), -1);
  EXPECT_EQ(d.FindRecord("countersign"), 4);
}

TEST(DictnRecords, RunsOfEqualRecordsAnswerTheirFirstIndex) {
  // Every run placement and length, including runs at either end, so a
  // search that stops inside a run is caught wherever it lands.
  for (int before = 0; before < 6; ++before) {
    for (int run = 1; run < 12; ++run) {
      for (int after = 0; after < 6; ++after) {
        std::string image;
        for (int i = 0; i < before; ++i) image += record("B" + std::string(1, static_cast<char>('A' + i)));
        for (int i = 0; i < run; ++i) image += record("CUTWORDCUTWORD");
        for (int i = 0; i < after; ++i) image += record("D" + std::string(1, static_cast<char>('A' + i)));
        Log log;
        TDictn d(TDictn::MemoryImage{image}, log.fn());
        ASSERT_EQ(d.source(), TDictn::Source::Memory);
        EXPECT_EQ(d.FindRecord("cutwordcutword"), before) << before << " " << run << " " << after;
        EXPECT_EQ(d.FindRecord("cutwordcutwor"), -1);
        if (after > 0) {
          EXPECT_EQ(d.FindRecord("da"), before + run);
        }
      }
    }
  }
}

TEST(DictnRecords, LowerCaseAndNonLetterRecordsAreSearchable) {
  // A player's list may be lower case or hold other characters; lookups still work.
  Log log;
  TDictn d(TDictn::MemoryImage{imageOf({"1st", "apple", "zebra"})}, log.fn());
  ASSERT_EQ(d.source(), TDictn::Source::Memory);
  EXPECT_EQ(d.FindRecord("ZEBRA"), 2);
  EXPECT_EQ(d.FindRecord("1st"), 0);
  EXPECT_EQ(d.FindRecord("Apple"), 1);
}

TEST(DictnRecords, MalformedImageGivesWayToTheBuiltInList) {
  for (const std::string& bad : {std::string(), imageOf({"ZEBRA", "APPLE"}), imageOf({"APPLE"}) + "X"}) {
    Log log;
    TDictn d(TDictn::MemoryImage{bad}, log.fn());
    EXPECT_EQ(d.source(), TDictn::Source::Builtin);
    EXPECT_EQ(log.lines.size(), 1u);
    EXPECT_TRUE(d.CheckWord("cats"));
  }
}

// --- Working file ---

TEST(DictnWorkingFile, MissingFileIsWrittenFromTheBuiltInListAndRemovedAtTheEnd) {
  TempDir dir;
  const fs::path english = dir.path / "English";
  {
    Log log;
    TDictn d(dir.path, log.fn());
    EXPECT_EQ(d.source(), TDictn::Source::CreatedWorkingFile);
    EXPECT_TRUE(log.lines.empty());
    ASSERT_TRUE(fs::exists(english));
    const std::string bytes = readFile(english);
    EXPECT_EQ(bytes, builtinWordRecords());
    ASSERT_EQ(bytes.size() % 15, 0u);
    EXPECT_EQ(static_cast<std::size_t>(d.recordCount()), bytes.size() / 15);
    EXPECT_TRUE(d.CheckWord("cats"));
    EXPECT_FALSE(d.CheckWord("qxzv"));
  }
  EXPECT_FALSE(fs::exists(english));
}

TEST(DictnWorkingFile, DefaultIsTheCurrentDirectory) {
  TempDir dir;
  const fs::path previous = fs::current_path();
  fs::current_path(dir.path);
  {
    Log log;
    TDictn d({}, log.fn());
    // Moving away must not make the end delete the wrong file.
    fs::current_path(previous);
    EXPECT_EQ(d.source(), TDictn::Source::CreatedWorkingFile);
    EXPECT_TRUE(fs::exists(dir.path / "English"));
  }
  EXPECT_FALSE(fs::exists(dir.path / "English"));
}

TEST(DictnWorkingFile, PlayersOwnListIsUsedAndLeftAsItWas) {
  TempDir dir;
  const fs::path english = dir.path / "English";
  const std::string own = imageOf({"aardwolf", "qwerty", "zyzzyx"});
  writeFile(english, own);
  {
    Log log;
    TDictn d(dir.path, log.fn());
    EXPECT_EQ(d.source(), TDictn::Source::WorkingFile);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(d.recordCount(), 3);
    EXPECT_EQ(d.FindRecord("Zyzzyx"), 2);
    EXPECT_EQ(d.FindRecord("aardwolf"), 0);
    EXPECT_FALSE(d.CheckWord("cats"));
  }
  EXPECT_EQ(readFile(english), own);
}

TEST(DictnWorkingFile, OnlyTheInstanceThatWroteTheFileRemovesIt) {
  TempDir dir;
  const fs::path english = dir.path / "English";
  Log log;
  auto first = std::make_unique<TDictn>(dir.path, log.fn());
  {
    TDictn second(dir.path, log.fn());
    EXPECT_EQ(second.source(), TDictn::Source::WorkingFile);
    EXPECT_TRUE(second.CheckWord("running"));
  }
  EXPECT_TRUE(fs::exists(english));
  first.reset();
  EXPECT_FALSE(fs::exists(english));
  EXPECT_TRUE(log.lines.empty());
}

TEST(DictnWorkingFile, ABuiltInListLeftBehindIsTakenOverAndRemovedAtTheEnd) {
  TempDir dir;
  const fs::path english = dir.path / "English";
  const std::string builtin(builtinWordRecords());
  writeFile(english, builtin);  // as a host killed before its end leaves it
  {
    Log log;
    TDictn d(dir.path, log.fn());
    EXPECT_EQ(d.source(), TDictn::Source::LeftoverWorkingFile);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find("English"), std::string::npos) << log.lines[0];
    EXPECT_TRUE(d.CheckWord("running"));
    {
      // A copy started beside it leaves the file to the one that took it over.
      TDictn beside(dir.path, log.fn());
      EXPECT_EQ(beside.source(), TDictn::Source::WorkingFile);
    }
    EXPECT_EQ(readFile(english), builtin);
  }
  EXPECT_FALSE(fs::exists(english));

  // Lists that differ from the built-in one by a single record are a player's.
  std::string changed = builtin;
  changed.replace(changed.size() - 14, 14, "ZZZZZZZZZZZZZZ");
  const std::string shorter = builtin.substr(0, builtin.size() - 15);
  for (const std::string& own : {changed, shorter}) {
    writeFile(english, own);
    {
      Log log;
      TDictn d(dir.path, log.fn());
      EXPECT_EQ(d.source(), TDictn::Source::WorkingFile);
      EXPECT_TRUE(log.lines.empty());
    }
    EXPECT_EQ(readFile(english), own);
  }
}

TEST(DictnWorkingFile, MalformedFileIsRefusedAndLeftUntouched) {
  const std::string cases[] = {
      std::string(),  // no records
      imageOf({"APPLE", "BANANA"}) +
          "\x1e"
          "CHERRY",                            // not whole records
      imageOf({"BANANA", "APPLE"}),            // out of order
      imageOf({"apple", "Banana", "APPLES"}),  // out of order once upper-cased
  };
  for (const std::string& bad : cases) {
    TempDir dir;
    const fs::path english = dir.path / "English";
    writeFile(english, bad);
    {
      Log log;
      TDictn d(dir.path, log.fn());
      EXPECT_EQ(d.source(), TDictn::Source::Builtin);
      ASSERT_EQ(log.lines.size(), 1u);
      EXPECT_NE(log.lines[0].find("English"), std::string::npos) << log.lines[0];
      EXPECT_TRUE(d.CheckWord("cats"));
      // The whole built-in list, nothing of the refused file.
      EXPECT_EQ(static_cast<std::size_t>(d.recordCount()), builtinWordRecords().size() / 15);
    }
    EXPECT_EQ(readFile(english), bad);
  }
}

TEST(DictnWorkingFile, UnwritableDirectoryServesTheBuiltInList) {
  TempDir dir;
  const fs::path missing = dir.path / "no-such-folder";
  {
    Log log;
    TDictn d(missing, log.fn());
    EXPECT_EQ(d.source(), TDictn::Source::Builtin);
    EXPECT_EQ(log.lines.size(), 1u);
    EXPECT_TRUE(d.CheckWord("faster"));
    EXPECT_EQ(static_cast<std::size_t>(d.recordCount()), builtinWordRecords().size() / 15);
  }
  EXPECT_FALSE(fs::exists(missing));
}

TEST(DictnWorkingFile, EnglishThatCannotBeOpenedServesTheBuiltInList) {
  TempDir dir;
  const fs::path english = dir.path / "English";
  fs::create_directory(english);
  writeFile(english / "keep", "x");
  {
    Log log;
    TDictn d(dir.path, log.fn());
    EXPECT_EQ(d.source(), TDictn::Source::Builtin);
    EXPECT_EQ(log.lines.size(), 1u);
    EXPECT_TRUE(d.CheckWord("cats"));
  }
  EXPECT_TRUE(fs::exists(english / "keep"));
}

}  // namespace
}  // namespace tw
