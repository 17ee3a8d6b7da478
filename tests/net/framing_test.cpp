// Framing: building messages, splitting the byte stream, reading fields; the
// dispatch step and the log line that a peer's text reaches.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/dispatch.h"
#include "net/framing.h"
#include "net/log.h"

namespace tw {
namespace {

const std::string T(1, kTerminator);

TEST(MessageBuilder, BuildsTheWireForm) {
  EXPECT_EQ(MessageBuilder("CMD_sendlogininfo").field(3).done(), "CMD_sendlogininfo+3" + T);
  EXPECT_EQ(MessageBuilder("CMD_iflip").field(3).field(4).field(2).done(true), "CMD_iflip+3+4+2+" + T);
  EXPECT_EQ(MessageBuilder("CMD_full").done(true), "CMD_full+" + T);
  EXPECT_EQ(MessageBuilder("CMD_wrongversion").done(), "CMD_wrongversion" + T);
}

TEST(MessageBuilder, KeepsTerminatorAndPlusOutOfFields) {
  // A name with '+' would shift every later field; 0xFF would cut the message.
  EXPECT_EQ(MessageBuilder("CMD_newplayerinfo").field(2).field("A+n\xFFn").done(),
            "CMD_newplayerinfo+2+A-nn" + T);
  // The last field keeps its '+' (chat text) but never the terminator.
  EXPECT_EQ(MessageBuilder("CMD_chat").field(3).last("1+1=2\xFF|clBlack").done(),
            "CMD_chat+3+1+1=2|clBlack" + T);
}

TEST(MessageSplitter, SplitsAtEveryTerminatorAndKeepsTheTail) {
  MessageSplitter splitter;
  std::vector<std::string> out;
  splitter.feed("CMD_a+1" + T + "CMD_b+2" + T + "CMD_c+3" + T + "CMD_d", out);
  EXPECT_EQ(out, (std::vector<std::string>{"CMD_a+1", "CMD_b+2", "CMD_c+3"}));
  EXPECT_EQ(splitter.pending(), 5u);
  out.clear();
  splitter.feed("+4" + T, out);
  EXPECT_EQ(out, (std::vector<std::string>{"CMD_d+4"}));
  EXPECT_EQ(splitter.pending(), 0u);
}

TEST(MessageSplitter, TwoTerminatorsQueueAnEmptyMessage) {
  MessageSplitter splitter;
  std::vector<std::string> out;
  splitter.feed(T + T, out);
  EXPECT_EQ(out, (std::vector<std::string>{"", ""}));
}

TEST(MessageSplitter, ByteByByteGivesTheSameMessages) {
  const std::string stream = "CMD_chat+3+a+b|clRed" + T + "CMD_x" + T;
  MessageSplitter splitter;
  std::vector<std::string> out;
  for (char c : stream) splitter.feed(std::string(1, c), out);
  EXPECT_EQ(out, (std::vector<std::string>{"CMD_chat+3+a+b|clRed", "CMD_x"}));
}

TEST(SplitCommand, SplitsAtTheFirstPlusOnly) {
  auto c = splitCommand("CMD_chat+3+a+b");
  EXPECT_EQ(c.name, "CMD_chat");
  EXPECT_EQ(c.body, "3+a+b");
  EXPECT_TRUE(splitCommand("CMD_nothing").name.empty());
  EXPECT_TRUE(splitCommand("").name.empty());
  EXPECT_TRUE(splitCommand("+body").name.empty());
}

TEST(FieldReader, ReadsFromTheFrontAndKeepsAnUnterminatedRest) {
  FieldReader r("3+1.0.4+Ann Lee");
  EXPECT_EQ(r.nextInt(), 3);
  EXPECT_EQ(r.next(), "1.0.4");
  EXPECT_EQ(r.next(), "");  // no '+' left: empty field, rest kept
  EXPECT_EQ(r.rest(), "Ann Lee");
}

TEST(FieldReader, ListsEndAtTheMarker) {
  FieldReader board("4+2+9+7+1+15");
  auto groups = board.groups(3);
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0], (std::vector<std::string_view>{"4", "2", "9"}));
  EXPECT_EQ(groups[1], (std::vector<std::string_view>{"7", "1", "15"}));

  // A trailing '+' leaves one empty field, as on every peer.
  FieldReader trailing("1+2+");
  auto g = trailing.groups(1);
  ASSERT_EQ(g.size(), 3u);
  EXPECT_EQ(g[2][0], "");

  // A short last group is padded with empty fields, which fail as numbers.
  FieldReader shortGroup("1+2+3");
  auto s = shortGroup.groups(2);
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[1], (std::vector<std::string_view>{"3", ""}));
  EXPECT_THROW(toInt(s[1][1]), BadNumber);

  FieldReader cells("4,2+0,5+0,1");
  auto c = cells.groups(1);
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(parseCell(c[1][0]), (CellRef{0, 5}));
}

TEST(Numbers, ConversionIsStrict) {
  EXPECT_EQ(toInt("0"), 0);
  EXPECT_EQ(toInt("-20"), -20);
  EXPECT_EQ(toInt("2147483647"), 2147483647);
  for (const char* bad : {"", " 3", "3 ", "3a", "+3", "2147483648", "0x10", "1,5"})
    EXPECT_THROW(toInt(bad), BadNumber) << bad;
  EXPECT_EQ(toIntOr("abc", 100), 100);
  EXPECT_THROW(parseCell("4"), BadNumber);
  EXPECT_THROW(parseCell("4,"), BadNumber);
  EXPECT_EQ(formatCell({10, 8}), "10,8");
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

// Whatever a handler throws on a peer's message stays one log line; the
// next message is handled as usual.
TEST(DispatchLine, AnyErrorOfAHandlerIsOneLogLineAndTheNextMessageIsHandled) {
  struct Route {
    std::string_view command;
    int what;
  };
  static const Route routes[] = {
      {"CMD_number", 0}, {"CMD_range", 1}, {"CMD_memory", 2}, {"CMD_odd", 3}, {"CMD_ok", 4}};
  std::vector<std::string> log;
  std::vector<std::string> handled;
  const LogFn logFn = [&](const std::string& line) { log.push_back(line); };
  for (const char* line :
       {"CMD_number+x", "CMD_range+1", "CMD_memory+2", "CMD_odd+3", "CMD_nothing+", "CMD_ok+5"})
    dispatchLine(line, routes, "seat 2", logFn, [&](const Route& route, std::string_view body) {
      if (route.what == 0) (void)toInt(body);
      if (route.what == 1) (void)std::string(body).at(9);
      if (route.what == 2) throw std::bad_alloc();
      if (route.what == 3) throw 3;
      handled.emplace_back(body);
    });
  EXPECT_EQ(handled, std::vector<std::string>{"5"});
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[0].rfind("seat 2: CMD_number stopped: ", 0), 0u) << log[0];
  EXPECT_EQ(log[1].rfind("seat 2: CMD_range stopped by an error: ", 0), 0u) << log[1];
  EXPECT_EQ(log[2].rfind("seat 2: CMD_memory stopped by an error: ", 0), 0u) << log[2];
  EXPECT_EQ(log[3], "seat 2: CMD_odd stopped by an error");
  EXPECT_EQ(log[4], "seat 2: unknown command ignored: CMD_nothing+");
}

// A name or version holding a line break or an escape sequence cannot make a
// log line of its own or drive the terminal.
TEST(LogLine, ControlBytesAndBackslashesAreWrittenOut) {
  EXPECT_EQ(loggable("seat 2: logged in as Ann\nseat 1: logged in as Bob"),
            "seat 2: logged in as Ann\\x0aseat 1: logged in as Bob");
  EXPECT_EQ(loggable("\r\x1b[2J\x7f\\x0a\t"), "\\x0d\\x1b[2J\\x7f\\x5cx0a\\x09");
  EXPECT_EQ(loggable("Zo\xEB + \xFF"), "Zo\xEB + \xFF");  // Windows-1252 letters stay
}

}  // namespace
}  // namespace tw
