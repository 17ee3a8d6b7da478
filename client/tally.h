// The tally of games: the player's own totals and the record against each
// opponent the player chose to tally, kept as a grid of text cells and saved
// to "Tilewhirltally.tld" after every change. Each change is made to the file
// as it is at that moment, so copies of the program sharing it all count.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "client/game_tally.h"
#include "net/log.h"

namespace tw {

inline constexpr std::string_view kTallyFile = "Tilewhirltally.tld";
inline constexpr int kTallyColumns = 9;
// A tally file larger than this is not one the game wrote.
inline constexpr std::size_t kTallyFileLimit = 64u << 20;

class TallyError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The record: 9 columns, row 0 the own totals, one row per tallied opponent.
class TallyGrid {
 public:
  using Row = std::array<std::string, kTallyColumns>;

  // Row 0 alone, every cell "0".
  TallyGrid();

  int rowCount() const { return int(rows_.size()); }
  // Out of range gives an empty text.
  const std::string& cell(int column, int row) const;
  void setCell(int column, int row, std::string text);
  void appendRow(Row row) { rows_.push_back(std::move(row)); }
  void removeRow(int row);
  void keepOnlyRowZero() { rows_.resize(1); }

  // The grid text: column count, row count, then every cell column by
  // column, each line ended by CR LF.
  std::string text() const;
  // Reads grid text; throws TallyError for anything else, before allocating
  // for counts the text is too short to hold.
  static TallyGrid parse(std::string_view text);

  friend bool operator==(const TallyGrid&, const TallyGrid&) = default;

 private:
  std::vector<Row> rows_;
};

// The tally file's bytes for a grid (the codec's container, fast method).
std::string encodeTally(const TallyGrid& grid);
// And back; throws TallyError or the codec's Lzrw1Error.
TallyGrid decodeTally(std::string_view fileBytes);

// The tally file's place: beside the program, else in `fallbackDir`.
std::string tallyPath(const std::string& exeDir, const std::string& fallbackDir);

class Tally final : public GameTally {
 public:
  // An entry of "Players In Current Game".
  struct Entry {
    std::string name;
    bool checked = false;
  };

  // Loads `path` (empty: a tally in memory only). A file that cannot be read
  // is renamed aside and a fresh tally starts; loadNotice() then says so.
  explicit Tally(std::string path = {}, LogFn log = {});
  // Writes once more what earlier writes could not.
  ~Tally() override;

  const TallyGrid& grid() const { return grid_; }
  const std::string& path() const { return path_; }
  // Empty, or the message for the player about a damaged file.
  const std::string& loadNotice() const { return loadNotice_; }
  // Called after every change, for the window to show it again.
  void setChanged(std::function<void()> changed) { changed_ = std::move(changed); }

  // Own totals as "Total Games:", "Your Wins:", "Total Words:", "Best Word:"
  // show them (n = 1..4).
  std::string mylabel(int n) const;

  // Refills "Players In Current Game" from the names in the other playing
  // seats; "<Waiting>" seats are skipped.
  void loadchecklist(const std::vector<std::string>& seatNames);
  std::vector<Entry> checklist() const;
  // "Players Being Tallied", in grid row order (entry i is row i + 1).
  std::vector<std::string> talliedNames() const;
  // The entry of `name` ignoring letter case, or -1.
  int talliedIndex(std::string_view name) const;
  // Checking a name: tallies it when it is not tallied yet.
  void tallyPlayer(std::string_view name);
  // Removes entry `index` and its row.
  void untallyPlayer(int index);
  // Columns 1..8 of entry `index`, for label_1..label_8.
  std::array<std::string, 8> talliedRow(int index) const;
  // "Reset Tally" after the player said Yes.
  void reset();

  // GameTally.
  void addtomineincrease(int column) override;
  void addtomineset(int column, int points, const std::string& word) override;
  void addgame(const GameResult& result, const std::vector<std::string>& players) override;

  // Writes what is not in the file yet; false when that failed (the tally
  // tries again at the next change and at the end).
  bool save();
  // Shows the record as the file holds it now, with the games other copies
  // of the program added to it.
  void refresh();

 private:
  using Change = std::function<void(TallyGrid&)>;
  // This run's counts under "Session" for one tallied name (columns 5..8).
  struct SessionCounts {
    std::string name;
    std::array<long long, 4> counts{};
  };

  void load();
  // Applies `change` to the record as the file holds it now, under the
  // file's lock, and writes the record back: another copy of the program
  // sharing the file may have added games since this copy last looked.
  void apply(Change change);
  void readFile();
  // The record from the file, with the changes not in it yet.
  void merge();
  void showSession(TallyGrid& grid) const;
  void changed();

  std::string path_;
  LogFn log_;
  TallyGrid grid_;
  // The record as the file last held it, and the changes made since that
  // are not in the file yet.
  TallyGrid onDisk_;
  std::vector<Change> unsaved_;
  std::vector<SessionCounts> session_;
  std::vector<std::string> checklist_;
  std::string loadNotice_;
  std::function<void()> changed_;
  bool saving_ = true;
  bool toldFailure_ = false;
};

// Name comparison of the lists: the letters of Windows-1252 ignore case.
bool sameName(std::string_view a, std::string_view b);

}  // namespace tw
