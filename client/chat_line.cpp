// Chat line layout: prefix, pieces, links and smilies.
#include "client/chat_line.h"

#include "net/framing.h"

namespace tw {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

void emitPieces(std::string_view text, int style, std::vector<ChatPiece>& out) {
  for (auto& piece : splitPieces(text)) {
    ChatPiece p;
    if (isLinkPiece(piece)) {
      p.kind = ChatPiece::Kind::Link;
      p.style = kLinkStyle;
    } else {
      p.style = style;
    }
    p.text = std::move(piece);
    out.push_back(std::move(p));
  }
}

}  // namespace

std::array<TextStyle, kStyleCount> initialStyles() {
  std::array<TextStyle, kStyleCount> s{};
  s[0] = {kBlue, false, false, false, 10};
  s[1] = {kBlue, true, false, false, 10};
  s[2] = {kNavy, true, false, false, 10};
  s[3] = {0x000080, false, true, false, 10};
  s[4] = {0x008000, false, false, true, 10};
  s[5] = {0x008000, false, false, true, 10};
  s[6] = s[7] = {0xC0C0C0, false, false, false, 10};
  return s;
}

std::string blankControls(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return out;
}

Colour peerColour(Colour colour) {
  const auto channel = [colour](int shift) { return int((colour >> shift) & 0xFF); };
  // Within this distance of every channel, two colours look alike in a line of text.
  constexpr int kNear = 0x60;
  const bool nearBlue = channel(0) < kNear && channel(8) < kNear && 0xFF - channel(16) < kNear;
  return nearBlue ? kNavy : colour;
}

std::vector<std::string> splitPieces(std::string_view text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    auto blank = text.find(' ', start);
    if (blank == std::string_view::npos) {
      out.emplace_back(text.substr(start));
      break;
    }
    out.emplace_back(text.substr(start, blank + 1 - start));
    start = blank + 1;
  }
  return out;
}

bool isLinkPiece(std::string_view piece) {
  while (!piece.empty() && piece.back() == ' ') piece.remove_suffix(1);
  for (std::string_view scheme : {"http://", "https://", "www."})
    if (startsWithNoCase(piece, scheme) && piece.size() > scheme.size()) return true;
  return false;
}

std::string linkTarget(std::string_view piece) {
  while (!piece.empty() && piece.back() == ' ') piece.remove_suffix(1);
  if (startsWithNoCase(piece, "www.")) return "http://" + std::string(piece);
  return std::string(piece);
}

ChatLine layoutChatLine(std::string_view line) {
  ChatLine out;
  const auto plus = line.find('+');
  const int style = toInt(plus == std::string_view::npos ? std::string_view{} : line.substr(0, plus));
  if (style < 0 || style >= kStyleCount) throw BadNumber(std::to_string(style));
  out.style = style;
  std::string_view rest = line.substr(plus + 1);
  std::string shown = rest.size() > kMaxShownLineBytes
                          ? blankControls(rest.substr(0, kMaxShownLineBytes)) + "..."
                          : blankControls(rest);
  rest = shown;

  const auto colon = rest.find(':');
  if (colon != std::string_view::npos) {
    out.prefix = std::string(rest.substr(0, colon + 1));
    rest.remove_prefix(colon + 1);
  }

  for (auto marker = rest.find(kSmileyMarker); marker != std::string_view::npos;
       marker = rest.find(kSmileyMarker)) {
    std::string segment(rest.substr(0, marker));
    rest.remove_prefix(marker + kSmileyMarker.size());
    const std::string_view code = rest.substr(0, 2);
    rest.remove_prefix(code.size());
    emitPieces(segment + ' ', style, out.pieces);
    int image = toIntOr(code, kFirstSmileyCode) - kFirstSmileyCode;
    if (image < 0 || image >= kSmileyCount) image = 0;
    ChatPiece smiley;
    smiley.kind = ChatPiece::Kind::Smiley;
    smiley.image = image;
    out.pieces.push_back(smiley);
  }
  if (!rest.empty()) emitPieces(std::string(rest) + ' ', style, out.pieces);
  return out;
}

int LinkTable::add(std::string text) {
  const int number = next_++;
  slots_[std::size_t(number) % kSlots] = Slot{number, std::move(text)};
  return number;
}

std::optional<std::string> LinkTable::find(int number) const {
  if (number < 0) return std::nullopt;
  const Slot& slot = slots_[std::size_t(number) % kSlots];
  if (slot.number != number) return std::nullopt;
  return slot.text;
}

}  // namespace tw
