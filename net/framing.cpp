// Message framing: building, splitting and reading the 0xFF-terminated text commands.
#include "net/framing.h"

#include <charconv>
#include <limits>

namespace tw {

BadNumber::BadNumber(const std::string& text)
    : std::runtime_error("'" + text + "' is not a valid integer value") {}

int toInt(std::string_view text) {
  int value = 0;
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  if (begin == end) throw BadNumber(std::string(text));
  auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || ptr != end) throw BadNumber(std::string(text));
  return value;
}

int toIntOr(std::string_view text, int fallback) {
  try {
    return toInt(text);
  } catch (const BadNumber&) {
    return fallback;
  }
}

std::string cleanText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != kTerminator) out += c;
  return out;
}

std::string cleanField(std::string_view text) {
  std::string out = cleanText(text);
  for (char& c : out)
    if (c == '+') c = '-';
  return out;
}

MessageBuilder::MessageBuilder(std::string_view command) : text_(cleanField(command)) {}

MessageBuilder& MessageBuilder::field(std::string_view text) {
  text_ += '+';
  text_ += cleanField(text);
  return *this;
}

MessageBuilder& MessageBuilder::field(int number) { return field(std::to_string(number)); }

MessageBuilder& MessageBuilder::last(std::string_view text) {
  text_ += '+';
  text_ += cleanText(text);
  return *this;
}

std::string MessageBuilder::done(bool trailingPlus) const {
  std::string out = text_;
  if (trailingPlus) out += '+';
  out += kTerminator;
  return out;
}

void MessageSplitter::feed(std::string_view bytes, std::vector<std::string>& out) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != kTerminator) continue;
    buffer_.append(bytes.substr(start, i - start));
    out.push_back(std::move(buffer_));
    buffer_.clear();
    start = i + 1;
  }
  buffer_.append(bytes.substr(start));
}

Command splitCommand(std::string_view line) {
  auto plus = line.find('+');
  if (plus == std::string_view::npos) return {};
  return {line.substr(0, plus), line.substr(plus + 1)};
}

std::string_view FieldReader::next() {
  auto plus = rest_.find('+');
  if (plus == std::string_view::npos) return {};
  std::string_view field = rest_.substr(0, plus);
  rest_.remove_prefix(plus + 1);
  return field;
}

std::vector<std::vector<std::string_view>> FieldReader::groups(std::size_t width) {
  // Reading with the end marker in place stops at the marker without copying
  // the body: a field is either followed by '+' inside the body, or it is the
  // body's last field, which the appended "+" would have terminated.
  std::vector<std::vector<std::string_view>> out;
  if (width == 0) return out;
  bool markerReached = false;
  auto field = [&]() -> std::string_view {
    if (markerReached) return {};
    auto plus = rest_.find('+');
    if (plus == std::string_view::npos) {  // the last field, ended by the marker
      std::string_view f = rest_;
      rest_ = {};
      markerReached = true;
      return f;
    }
    std::string_view f = rest_.substr(0, plus);
    rest_.remove_prefix(plus + 1);
    return f;
  };
  while (!markerReached) {
    std::vector<std::string_view> group;
    group.reserve(width);
    for (std::size_t i = 0; i < width; ++i) group.push_back(field());
    out.push_back(std::move(group));
  }
  return out;
}

CellRef parseCell(std::string_view text) {
  auto comma = text.find(',');
  if (comma == std::string_view::npos) throw BadNumber(std::string(text));
  return {toInt(text.substr(0, comma)), toInt(text.substr(comma + 1))};
}

std::string formatCell(CellRef cell) { return std::to_string(cell.x) + "," + std::to_string(cell.y); }

}  // namespace tw
