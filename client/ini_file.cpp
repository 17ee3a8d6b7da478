// The settings file: line-preserving INI reading and writing.
#include "client/ini_file.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "client/atomic_file.h"

namespace tw {

namespace {

std::string_view trim(std::string_view s) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; };
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool sameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// A section header gives its name; anything else gives nullopt.
std::optional<std::string_view> sectionName(std::string_view line) {
  line = trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  const auto close = line.find(']');
  return trim(close == std::string_view::npos ? line : line.substr(0, close));
}

struct KeyLine {
  std::string_view key;
  std::string_view value;
};

std::optional<KeyLine> keyLine(std::string_view line) {
  const std::string_view t = trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return std::nullopt;
  const auto eq = t.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return KeyLine{trim(t.substr(0, eq)), trim(t.substr(eq + 1))};
}

// Values and names are written on one line whatever they hold.
std::string oneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '\n' || c == '\r') c = ' ';
  return out;
}

}  // namespace

std::optional<int> parseInteger(std::string_view text) {
  text = trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text.front() == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  long long value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  if (negative) value = -value;
  // Hexadecimal text up to 32 bits reads as the signed value it encodes.
  if (base == 16 && !negative && value > 0x7FFFFFFFLL && value <= 0xFFFFFFFFLL) value -= 0x100000000LL;
  if (value < -2147483648LL || value > 2147483647LL) return std::nullopt;
  return int(value);
}

IniFile IniFile::parse(std::string_view text) {
  IniFile file;
  file.endsWithEol_ = text.empty() || text.back() == '\n';
  std::size_t start = 0;
  while (start < text.size()) {
    auto nl = text.find('\n', start);
    std::string_view line =
        text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
      file.eol_ = "\r\n";
    }
    file.lines_.emplace_back(line);
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  return file;
}

IniFile IniFile::load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return parse(text.str());
}

bool IniFile::save(const std::string& path, std::string* why) const {
  return writeFileAtomically(path, text(), why);
}

std::string IniFile::text() const {
  std::string out;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    out += lines_[i];
    if (i + 1 < lines_.size() || endsWithEol_) out += eol_;
  }
  return out;
}

IniFile::Found IniFile::find(std::string_view section, std::string_view key) const {
  Found found;
  bool inside = false;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (auto name = sectionName(lines_[i])) {
      if (found.sectionLine != npos && inside) break;  // the first matching section only
      inside = sameText(*name, trim(section));
      if (inside) found.sectionLine = i;
      continue;
    }
    if (!inside) continue;
    if (auto k = keyLine(lines_[i])) {
      found.lastKeyLine = i;
      if (found.keyLine == npos && sameText(k->key, trim(key))) found.keyLine = i;
    }
  }
  return found;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
  const Found found = find(section, key);
  if (found.keyLine == npos) return std::nullopt;
  std::string_view v = keyLine(lines_[found.keyLine])->value;
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  return std::string(v);
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  auto v = value(section, key);
  return v ? *v : std::string(fallback);
}

int IniFile::readInteger(std::string_view section, std::string_view key, int fallback) const {
  auto v = value(section, key);
  if (!v) return fallback;
  return parseInteger(*v).value_or(fallback);
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
  const std::string line = oneLine(trim(key)) + "=" + oneLine(value);
  const Found found = find(section, key);
  if (found.keyLine != npos) {
    lines_[found.keyLine] = line;
    return;
  }
  if (found.sectionLine != npos) {
    const std::size_t after = found.lastKeyLine != npos ? found.lastKeyLine : found.sectionLine;
    lines_.insert(lines_.begin() + std::ptrdiff_t(after + 1), line);
    return;
  }
  lines_.push_back("[" + oneLine(trim(section)) + "]");
  lines_.push_back(line);
  endsWithEol_ = true;
}

}  // namespace tw
