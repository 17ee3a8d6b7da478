// How one chat line is laid out: the style from its seat, the name prefix,
// and the pieces of text, links and smilies that follow, plus the text styles
// of the chat display and the table that keeps each link's address.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/settings.h"

namespace tw {

inline constexpr int kStyleCount = 15;
inline constexpr int kLinkStyle = 4;
inline constexpr int kSmileyCount = 18;
inline constexpr int kFirstSmileyCode = 10;
inline constexpr std::string_view kSmileyMarker = ":)#";
// A peer may send lines of up to 64 KiB; the chat shows this much of one
// (some 25 lines of the chat pane) and "..." after it.
inline constexpr std::size_t kMaxShownLineBytes = 1024;

struct TextStyle {
  Colour colour = kWindowText;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int size = 10;
  friend bool operator==(const TextStyle&, const TextStyle&) = default;
};

// The display's initial table of styles.
std::array<TextStyle, kStyleCount> initialStyles();

struct ChatPiece {
  enum class Kind { Text, Link, Smiley };
  Kind kind = Kind::Text;
  std::string text;  // text and links
  int style = 0;     // text and links
  int image = 0;     // smilies: 0..17
  int link = -1;     // links: the number that reports a click on it
  friend bool operator==(const ChatPiece&, const ChatPiece&) = default;
};

struct ChatLine {
  int style = 0;
  std::string prefix;  // shown with one blank after it, starting the paragraph
  std::vector<ChatPiece> pieces;
};

// Text from the network as it may be shown: every control character (line
// breaks among them) becomes a blank, so one message stays one line.
std::string blankControls(std::string_view text);

// A peer's chat colour as shown: one a reader could take for the blue of
// this copy's own status lines becomes navy.
Colour peerColour(Colour colour);

// Lays out "seat+text". Raises BadNumber when the part before the first '+'
// is not a style number (0 to 14). Link pieces keep link -1: the link table
// numbers them. Text past kMaxShownLineBytes is cut and marked "...";
// control characters show as blanks.
ChatLine layoutChatLine(std::string_view line);

// Cuts text after each blank, so every piece but perhaps the last ends with
// its blank.
std::vector<std::string> splitPieces(std::string_view text);

// Only a web address is a link: a piece that starts with "http://",
// "https://" or "www." (any case) and has something after it.
bool isLinkPiece(std::string_view piece);
// What the browser is asked to open for a link piece: trailing blanks go,
// and "www." addresses get "http://" in front.
std::string linkTarget(std::string_view piece);

// Keeps the addresses of the most recent links. Every link gets the next
// number; a number that has dropped out of the table opens nothing.
class LinkTable {
 public:
  static constexpr std::size_t kSlots = 101;
  int add(std::string text);
  std::optional<std::string> find(int number) const;

 private:
  struct Slot {
    int number = -1;
    std::string text;
  };
  std::array<Slot, kSlots> slots_{};
  int next_ = 0;
};

}  // namespace tw
