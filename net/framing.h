// Message framing shared by host and client: building a message, splitting
// received bytes into messages at the 0xFF terminator, and reading fields.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

inline constexpr char kTerminator = '\xFF';

// Raised when a field that must be a number is not. Handlers let it escape;
// the dispatcher logs it and goes on with the next message.
class BadNumber : public std::runtime_error {
 public:
  explicit BadNumber(const std::string& text);
};

// Strict text-to-integer conversion: optional '-' then decimal digits, within
// the 32-bit signed range, nothing else.
int toInt(std::string_view text);
// As toInt, but gives `fallback` instead of raising.
int toIntOr(std::string_view text, int fallback);

// Drops the terminator byte from text that goes inside a message.
std::string cleanText(std::string_view text);
// Cleans a field that is not the last of its message: no terminator, and a
// '+' (which would split the field) becomes '-'.
std::string cleanField(std::string_view text);

// Builds one message: "CMD_name" "+" fields joined by "+" [+] 0xFF.
// Every field but the last is cleaned with cleanField; the last with cleanText.
class MessageBuilder {
 public:
  explicit MessageBuilder(std::string_view command);
  MessageBuilder& field(std::string_view text);
  MessageBuilder& field(int number);
  // The final field: may hold '+' (chat text).
  MessageBuilder& last(std::string_view text);
  // Finishes the message; `trailingPlus` adds the '+' some commands end with.
  std::string done(bool trailingPlus = false) const;

 private:
  std::string text_;
  bool first_ = true;
};

// Splits one connection's byte stream into messages. Bytes after the last
// terminator wait for the next read of the same connection.
class MessageSplitter {
 public:
  // Appends `bytes` and moves every complete message into `out`.
  void feed(std::string_view bytes, std::vector<std::string>& out);
  // Bytes of an unfinished message waiting for their terminator.
  std::size_t pending() const { return buffer_.size(); }
  void clear() { buffer_.clear(); }

 private:
  std::string buffer_;
};

// A queued line split at its first '+'. A line without '+' has an empty command.
struct Command {
  std::string_view name;
  std::string_view body;
};
Command splitCommand(std::string_view line);

// Reads a message body field by field from the front.
class FieldReader {
 public:
  explicit FieldReader(std::string_view body) : rest_(body) {}

  // The text before the next '+', which is then consumed with its '+'.
  // Without a '+' left, gives an empty field and keeps the rest.
  std::string_view next();
  int nextInt() { return toInt(next()); }
  // Everything not yet read (a final unterminated field).
  std::string_view rest() const { return rest_; }
  bool atEnd() const { return rest_.empty(); }

  // Reads a list of unknown length the way every peer does: "+@" is appended
  // to the rest and groups of `width` fields are read until only "@" is left.
  // A group cut short by the end has empty fields in its place, which fail
  // number conversion as they would on any peer.
  std::vector<std::vector<std::string_view>> groups(std::size_t width);

 private:
  std::string_view rest_;
};

// A board cell or bar slot reference "x,y"; bar slots are written "0,n".
struct CellRef {
  int x = 0;
  int y = 0;
  friend bool operator==(const CellRef&, const CellRef&) = default;
};
// Parses "x,y" strictly; raises BadNumber when either side is not a number.
CellRef parseCell(std::string_view text);
std::string formatCell(CellRef cell);

}  // namespace tw
