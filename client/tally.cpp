// The tally grid, its file and the operations a finished game, a scored word
// and the tally window perform on it.
#include "client/tally.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <limits>
#include <system_error>

#include "client/atomic_file.h"
#include "client/settings.h"
#include "compression/lzrw1_file.h"

namespace tw {

namespace {

const std::string kEmpty;
constexpr std::string_view kWaiting = "<Waiting>";

unsigned char foldCase(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  // Latin-1 capitals, but not the multiplication sign.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  // The capitals Windows-1252 adds: S, OE and Z with their marks, and Y diaeresis.
  if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<unsigned char>(c + 16);
  if (c == 0x9F) return 0xFF;
  return c;
}

// A cell as a count; text that is not one counts as 0, so one damaged cell
// cannot stop the record from going on.
long long cellNumber(const std::string& text) {
  std::string_view t = text;
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  long long value = 0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (ec != std::errc() || end != t.data() + t.size() || t.empty()) return 0;
  return value;
}

// The next line of grid text (CR LF or LF ended); false at the end.
bool nextLine(std::string_view& rest, std::string_view& line) {
  if (rest.empty()) return false;
  const std::size_t lf = rest.find('\n');
  line = rest.substr(0, lf);
  rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return true;
}

std::uint64_t readCount(std::string_view& rest, const char* what) {
  std::string_view line;
  if (!nextLine(rest, line)) throw TallyError(std::string("tally grid: no ") + what);
  while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
  std::uint32_t value = 0;
  const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), value);
  if (line.empty() || ec != std::errc() || end != line.data() + line.size())
    throw TallyError(std::string("tally grid: ") + what + " is not a number");
  return value;
}

// The grid row of a tallied name, or -1.
int rowOf(const TallyGrid& grid, std::string_view name) {
  for (int row = 1; row < grid.rowCount(); ++row)
    if (sameName(grid.cell(0, row), name)) return row;
  return -1;
}

void increase(TallyGrid& grid, int column, int row) {
  const long long value = cellNumber(grid.cell(column, row));
  grid.setCell(column, row,
               std::to_string(value < std::numeric_limits<long long>::max() ? value + 1 : value));
}

std::string damagedName(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const std::string base = path + ".damaged";
  if (!fs::exists(base, ec)) return base;
  for (int n = 1; n < 10000; ++n) {
    std::string numbered = base + "." + std::to_string(n);
    if (!fs::exists(numbered, ec)) return numbered;
  }
  return {};
}

}  // namespace

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (foldCase(static_cast<unsigned char>(a[i])) != foldCase(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

TallyGrid::TallyGrid() { rows_.push_back(Row{"0", "0", "0", "0", "0", "0", "0", "0", "0"}); }

const std::string& TallyGrid::cell(int column, int row) const {
  if (column < 0 || column >= kTallyColumns || row < 0 || row >= rowCount()) return kEmpty;
  return rows_[std::size_t(row)][std::size_t(column)];
}

void TallyGrid::setCell(int column, int row, std::string text) {
  if (column < 0 || column >= kTallyColumns || row < 0 || row >= rowCount()) return;
  rows_[std::size_t(row)][std::size_t(column)] = std::move(text);
}

void TallyGrid::removeRow(int row) {
  if (row < 1 || row >= rowCount()) return;
  rows_.erase(rows_.begin() + row);
}

std::string TallyGrid::text() const {
  std::string out = std::to_string(kTallyColumns) + "\r\n" + std::to_string(rows_.size()) + "\r\n";
  for (int column = 0; column < kTallyColumns; ++column)
    for (const Row& row : rows_) {
      // A name from the network may hold a line break; it must not split the cell.
      for (char c : row[std::size_t(column)]) out += (c == '\r' || c == '\n') ? ' ' : c;
      out += "\r\n";
    }
  return out;
}

TallyGrid TallyGrid::parse(std::string_view text) {
  std::string_view rest = text;
  const std::uint64_t columns = readCount(rest, "column count");
  const std::uint64_t rows = readCount(rest, "row count");
  if (columns != std::uint64_t(kTallyColumns))
    throw TallyError("tally grid: " + std::to_string(columns) + " columns instead of 9");
  if (rows < 1) throw TallyError("tally grid: no rows");
  // Every cell but the last takes at least its line end.
  if (columns * rows > std::uint64_t(rest.size()) + 1)
    throw TallyError("tally grid: " + std::to_string(rows) + " rows do not fit in the file");
  TallyGrid grid;
  grid.rows_.assign(std::size_t(rows), Row{});
  for (std::size_t column = 0; column < std::size_t(kTallyColumns); ++column)
    for (Row& row : grid.rows_) {
      std::string_view line;
      if (!nextLine(rest, line)) throw TallyError("tally grid: the file ends inside the cells");
      row[column] = std::string(line);
    }
  return grid;
}

std::string encodeTally(const TallyGrid& grid) { return lzrw1Compress(grid.text()); }

TallyGrid decodeTally(std::string_view fileBytes) {
  return TallyGrid::parse(lzrw1Decompress(fileBytes, std::string(kTallyFile)));
}

std::string tallyPath(const std::string& exeDir, const std::string& fallbackDir) {
  return dataFilePath(exeDir, fallbackDir, kTallyFile);
}

Tally::Tally(std::string path, LogFn log) : path_(std::move(path)), log_(std::move(log)) {
  if (!path_.empty()) load();
  onDisk_ = grid_;
}

Tally::~Tally() {
  if (!unsaved_.empty()) save();
  // The lock file goes with this copy when no other holds it at this moment.
  // One that opened it and waits meanwhile finds it gone once it has the
  // lock and takes the path's new file instead (FileLock), so no two copies
  // ever hold locks on different files.
  const std::string lockPath = path_ + ".lock";
  std::error_code ec;
  if (path_.empty() || !saving_ || !std::filesystem::exists(lockPath, ec)) return;
  FileLock lock(lockPath, FileLock::Wait::No);
  if (lock.locked()) lock.removeFile();
}

void Tally::load() {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::exists(path_, ec)) return;
  std::string why;
  try {
    std::string bytes;
    if (!readWholeFile(path_, kTallyFileLimit, bytes))
      throw TallyError("the file cannot be read or is too large");
    grid_ = decodeTally(bytes);
    // The session columns count from the start of this run.
    showSession(grid_);
    return;
  } catch (const std::exception& e) {
    why = e.what();
  }
  grid_ = TallyGrid();
  const std::string aside = damagedName(path_);
  if (!aside.empty()) fs::rename(path_, aside, ec);
  if (aside.empty() || ec) {
    // Saving would overwrite the only copy of the old record.
    saving_ = false;
    loadNotice_ =
        "The tally file \"" + path_ + "\" could not be read (" + why +
        ") and could not be moved aside, so it is left as it is and this game's tally will not be saved.";
  } else {
    loadNotice_ = "The tally file \"" + path_ + "\" could not be read (" + why + "). It was kept as \"" +
                  aside + "\" and a new tally was started.";
  }
  if (log_) log_("tally: " + loadNotice_);
}

void Tally::readFile() {
  std::error_code ec;
  if (!std::filesystem::exists(path_, ec)) return;
  try {
    std::string bytes;
    if (!readWholeFile(path_, kTallyFileLimit, bytes))
      throw TallyError("the file cannot be read or is too large");
    onDisk_ = decodeTally(bytes);
  } catch (const std::exception& e) {
    // What this copy knows is written over it.
    if (log_) log_("tally: the file changed into one that cannot be read (" + std::string(e.what()) + ")");
  }
}

void Tally::merge() {
  if (!path_.empty() && saving_) readFile();
  TallyGrid next = onDisk_;
  for (const Change& c : unsaved_) c(next);
  showSession(next);
  grid_ = std::move(next);
}

void Tally::apply(Change change) {
  if (change) unsaved_.push_back(std::move(change));
  if (path_.empty() || !saving_) {
    merge();
    onDisk_ = grid_;
    unsaved_.clear();
    return;
  }
  const FileLock lock(path_ + ".lock");
  if (!lock.locked() && !toldFailure_ && log_)
    log_("tally: the file's lock cannot be had; changed without it");
  merge();
  std::string error;
  if (!writeFileAtomically(path_, encodeTally(grid_), &error)) {
    if (!toldFailure_ && log_) log_("tally: not saved: " + error);
    toldFailure_ = true;
    return;
  }
  onDisk_ = grid_;
  unsaved_.clear();
  toldFailure_ = false;
}

void Tally::refresh() {
  merge();
  changed();
}

bool Tally::save() {
  if (!unsaved_.empty()) apply({});
  return unsaved_.empty();
}

void Tally::showSession(TallyGrid& grid) const {
  for (int row = 1; row < grid.rowCount(); ++row) {
    const auto it = std::find_if(session_.begin(), session_.end(),
                                 [&](const SessionCounts& s) { return sameName(s.name, grid.cell(0, row)); });
    for (int n = 0; n < 4; ++n)
      grid.setCell(5 + n, row, it == session_.end() ? "0" : std::to_string(it->counts[std::size_t(n)]));
  }
}

void Tally::changed() {
  if (changed_) changed_();
}

std::string Tally::mylabel(int n) const {
  if (n >= 1 && n <= 3) return grid_.cell(n, 0);
  if (n != 4) return {};
  if (cellNumber(grid_.cell(5, 0)) <= 0) return "-";
  return grid_.cell(4, 0) + " (" + grid_.cell(5, 0) + ")";
}

void Tally::loadchecklist(const std::vector<std::string>& seatNames) {
  checklist_.clear();
  for (const std::string& name : seatNames)
    if (name != kWaiting) checklist_.push_back(name);
  changed();
}

std::vector<Tally::Entry> Tally::checklist() const {
  std::vector<Entry> out;
  for (const std::string& name : checklist_) out.push_back({name, talliedIndex(name) >= 0});
  return out;
}

std::vector<std::string> Tally::talliedNames() const {
  std::vector<std::string> out;
  for (int row = 1; row < grid_.rowCount(); ++row) out.push_back(grid_.cell(0, row));
  return out;
}

int Tally::talliedIndex(std::string_view name) const {
  const int row = rowOf(grid_, name);
  return row < 0 ? -1 : row - 1;
}

void Tally::tallyPlayer(std::string_view name) {
  if (talliedIndex(name) >= 0) return;
  apply([name = std::string(name)](TallyGrid& g) {
    if (rowOf(g, name) < 0) g.appendRow({name, "0", "0", "0", "0", "0", "0", "0", "0"});
  });
  changed();
}

void Tally::untallyPlayer(int index) {
  if (index < 0 || index + 1 >= grid_.rowCount()) return;
  // By name: in the file the row may have moved.
  const std::string name = grid_.cell(0, index + 1);
  std::erase_if(session_, [&](const SessionCounts& s) { return sameName(s.name, name); });
  apply([name](TallyGrid& g) { g.removeRow(rowOf(g, name)); });
  changed();
}

std::array<std::string, 8> Tally::talliedRow(int index) const {
  std::array<std::string, 8> out;
  for (int column = 1; column <= 8; ++column) out[std::size_t(column - 1)] = grid_.cell(column, index + 1);
  return out;
}

void Tally::reset() {
  session_.clear();
  apply([](TallyGrid& g) {
    for (int column = 1; column <= 5; ++column) g.setCell(column, 0, "0");
    g.setCell(4, 0, "-");
    if (g.rowCount() > 1)
      for (int row = 0; row < g.rowCount(); ++row)
        for (int column = 0; column < kTallyColumns; ++column) g.setCell(column, row, "0");
    g.keepOnlyRowZero();
  });
  changed();
}

void Tally::addtomineincrease(int column) {
  if (column < 1 || column >= kTallyColumns) return;
  apply([column](TallyGrid& g) { increase(g, column, 0); });
  changed();
}

void Tally::addtomineset(int column, int points, const std::string& word) {
  if (column < 1 || column + 1 >= kTallyColumns) return;
  apply([=](TallyGrid& g) {
    // A tie keeps the older best word.
    if (points <= cellNumber(g.cell(column + 1, 0))) return;
    g.setCell(column, 0, word);
    g.setCell(column + 1, 0, std::to_string(points));
  });
  changed();
}

void Tally::addgame(const GameResult& result, const std::vector<std::string>& players) {
  loadchecklist(players);
  const std::vector<std::string> inGame = checklist_;
  // Column 2 the opponent won, 3 the player, 4 somebody else.
  const auto won = [result](const std::string& tallied) {
    return result.ownWin ? 3 : sameName(tallied, result.winner) ? 2 : 4;
  };
  apply([=](TallyGrid& g) {
    increase(g, 1, 0);
    if (result.ownWin) increase(g, 2, 0);
    for (const std::string& name : inGame) {
      const int row = rowOf(g, name);
      if (row < 0) continue;
      for (int column = 1; column <= 4; ++column)
        if (g.cell(column, row).empty()) g.setCell(column, row, "0");
      increase(g, 1, row);
      increase(g, won(g.cell(0, row)), row);
    }
  });
  for (const std::string& name : inGame) {
    const int row = rowOf(grid_, name);
    if (row < 0) continue;
    const std::string& tallied = grid_.cell(0, row);
    auto it = std::find_if(session_.begin(), session_.end(),
                           [&](const SessionCounts& s) { return sameName(s.name, tallied); });
    if (it == session_.end()) it = session_.insert(session_.end(), SessionCounts{tallied, {}});
    ++it->counts[0];
    ++it->counts[std::size_t(won(tallied) - 1)];
  }
  showSession(grid_);
  changed();
}

}  // namespace tw
