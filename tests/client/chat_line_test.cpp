// Chat line layout: prefix, pieces, smilies and which pieces are links.
#include <gtest/gtest.h>

#include "client/chat_line.h"
#include "net/framing.h"

namespace tw {
namespace {

using Kind = ChatPiece::Kind;

ChatPiece text(std::string t, int style) { return {Kind::Text, std::move(t), style, 0, -1}; }
ChatPiece smiley(int image) { return {Kind::Smiley, "", 0, image, -1}; }
ChatPiece link(std::string t) { return {Kind::Link, std::move(t), kLinkStyle, 0, -1}; }

TEST(ChatLayout, PrefixPiecesAndASmiley) {
  const ChatLine l = layoutChatLine("3+Ann chats: hi :)#12 ok");
  EXPECT_EQ(l.style, 3);
  EXPECT_EQ(l.prefix, "Ann chats:");
  EXPECT_EQ(l.pieces, (std::vector<ChatPiece>{text(" ", 3), text("hi ", 3), text(" ", 3), smiley(2),
                                              text(" ", 3), text("ok ", 3)}));
}

TEST(ChatLayout, ALineWithoutAColonHasNoPrefix) {
  const ChatLine l = layoutChatLine("3+Ann waves");
  EXPECT_EQ(l.prefix, "");
  EXPECT_EQ(l.pieces, (std::vector<ChatPiece>{text("Ann ", 3), text("waves ", 3)}));
}

TEST(ChatLayout, APhraseKeepsItsPrefix) {
  const ChatLine l = layoutChatLine("2+Bob says: Thanks!");
  EXPECT_EQ(l.prefix, "Bob says:");
  EXPECT_EQ(l.pieces, (std::vector<ChatPiece>{text(" ", 2), text("Thanks! ", 2)}));
}

TEST(ChatLayout, BadSmileyCodesShowTheFirstImage) {
  for (const char* code : {"09", "28", "xx", "1", ""}) {
    const ChatLine l = layoutChatLine(std::string("1+A: :)#") + code);
    // " " and the added blank come first, then the image.
    ASSERT_GE(l.pieces.size(), 3u) << code;
    EXPECT_EQ(l.pieces[2], smiley(0)) << code;
  }
  EXPECT_EQ(layoutChatLine("1+A: :)#27").pieces[2], smiley(17));
  // Two digits are taken whatever follows them.
  EXPECT_EQ(layoutChatLine("1+A: :)#115").pieces.back(), text("5 ", 1));
}

TEST(ChatLayout, OnlyWebAddressesAreLinks) {
  const ChatLine l = layoutChatLine(
      "1+A: see http://x.org/a WWW.y.com https://z.net file://http://evil javascript:x//http://y www.");
  std::vector<ChatPiece> expected{text(" ", 1),
                                  text("see ", 1),
                                  link("http://x.org/a "),
                                  link("WWW.y.com "),
                                  link("https://z.net "),
                                  text("file://http://evil ", 1),
                                  text("javascript:x//http://y ", 1),
                                  text("www. ", 1)};
  EXPECT_EQ(l.pieces, expected);
  EXPECT_EQ(linkTarget("WWW.y.com  "), "http://WWW.y.com");
  EXPECT_EQ(linkTarget("https://z.net "), "https://z.net");
}

TEST(ChatLayout, TheSeatMustBeAStyleNumber) {
  EXPECT_THROW(layoutChatLine("x+hello"), BadNumber);
  EXPECT_THROW(layoutChatLine("no plus"), BadNumber);
  EXPECT_THROW(layoutChatLine("15+out of range"), BadNumber);
  EXPECT_THROW(layoutChatLine("-1+out of range"), BadNumber);
  EXPECT_NO_THROW(layoutChatLine("0+"));
}

TEST(ChatLayout, AnAbsurdlyLongLineIsCut) {
  // The longest line the host passes, made of what costs a display most.
  std::string line = "2+Bob chats: ";
  while (line.size() < 64 * 1024) line += ":)#12 www.x.org ";
  const ChatLine l = layoutChatLine(line);
  std::size_t shown = l.prefix.size(), smilies = 0;
  for (const auto& p : l.pieces) {
    shown += p.text.size();
    smilies += p.kind == Kind::Smiley;
  }
  EXPECT_LE(shown + smilies * 5, kMaxShownLineBytes + 2 * l.pieces.size());
  EXPECT_GT(smilies, 10u);
  EXPECT_EQ(l.pieces.back(), text("... ", 2));
  // One word with no blank at all: one piece, cut.
  const ChatLine word = layoutChatLine("2+" + std::string(60000, 'w'));
  ASSERT_EQ(word.pieces.size(), 1u);
  EXPECT_EQ(word.pieces[0].text, std::string(kMaxShownLineBytes, 'w') + "... ");
  // A line of the shown length is left whole.
  const ChatLine whole = layoutChatLine("2+" + std::string(kMaxShownLineBytes, 'w'));
  EXPECT_EQ(whole.pieces[0].text, std::string(kMaxShownLineBytes, 'w') + " ");
}

TEST(ChatLayout, PiecesEndWithTheirBlank) {
  EXPECT_EQ(splitPieces(" a  b"), (std::vector<std::string>{" ", "a ", " ", "b"}));
  EXPECT_TRUE(splitPieces("").empty());
}

TEST(LinkTable, EachLinkKeepsItsAddressUntilItDropsOut) {
  LinkTable links;
  const int first = links.add("http://a");
  EXPECT_EQ(links.find(first), "http://a");
  int last = first;
  for (std::size_t i = 0; i < LinkTable::kSlots; ++i) last = links.add("http://" + std::to_string(i));
  EXPECT_EQ(links.find(first), std::nullopt);
  EXPECT_EQ(links.find(last), "http://100");
  EXPECT_EQ(links.find(last - 100), "http://0");
  EXPECT_EQ(links.find(-1), std::nullopt);
  EXPECT_EQ(links.find(last + 1), std::nullopt);
}

}  // namespace
}  // namespace tw
