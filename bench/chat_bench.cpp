// The chat display under a hostile peer, on the offscreen platform: the
// longest lines the host passes (64 KiB) in several shapes, and a seat's
// colour change over a full history. Each case lays out and paints, as a
// player would see it. The reference is the same text put in as one plain
// run, the least any display can do.
#include <benchmark/benchmark.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QTextCursor>
#include <QTextDocument>
#include <array>
#include <string>

#include "client/chat_line.h"
#include "windows/chat_display.h"

namespace {

constexpr std::size_t kHostLineLimit = 64 * 1024 - 64;

QApplication& app() {
  static int argc = 1;
  static char name[] = "tilewhirl-bench";
  static char* argv[] = {name, nullptr};
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* instance = new QApplication(argc, argv);
  return *instance;
}

std::string repeatTo(std::string head, const std::string& unit, std::size_t size) {
  while (head.size() + unit.size() <= size) head += unit;
  return head;
}

std::string lineOf(int shape, std::size_t size) {
  const std::string head = "3+Bob chats: ";
  switch (shape) {
    case 0:
      return repeatTo(head, "ab ", size);  // the most pieces
    case 1:
      return repeatTo(head, ":)#12", size);  // the most smilies
    case 2:
      return repeatTo(head, "www.x.org ", size);  // the most links
    default:
      return head + std::string(size - head.size(), 'w');  // one word, no blank
  }
}

const char* const kShapeNames[] = {"blanks", "smilies", "links", "one-word"};

struct Display {
  Display() {
    chat.resize(262, 232);
    chat.show();
    QCoreApplication::processEvents();
  }
  // What a player waits for: the layout done and the pane painted.
  void shown() {
    benchmark::DoNotOptimize(chat.document()->documentLayout()->documentSize());
    chat.viewport()->repaint();
  }
  void fill() {
    for (int i = 0; i < tw::ChatDisplay::kMaxLines; ++i)
      chat.addLine(tw::layoutChatLine(std::to_string(1 + i % 6) +
                                      "+Ann chats: a line of history :)#11 www.example.org " +
                                      std::to_string(i)));
    shown();
  }
  QApplication& application = app();  // before any widget
  // The session's styles, as the display reads them.
  std::array<tw::TextStyle, tw::kStyleCount> styles = tw::initialStyles();
  tw::ChatDisplay chat{nullptr, [this](int i) -> const tw::TextStyle& { return styles.at(std::size_t(i)); }};
};

void BM_ChatLongLine(benchmark::State& state) {
  Display d;
  d.fill();
  const std::string line = lineOf(int(state.range(0)), std::size_t(state.range(1)));
  for (auto _ : state) {
    d.chat.addLine(tw::layoutChatLine(line));
    d.shown();
  }
  state.SetLabel(kShapeNames[state.range(0)]);
}
BENCHMARK(BM_ChatLongLine)
    ->ArgsProduct({{0, 1, 2, 3}, {8 * 1024, kHostLineLimit}})
    ->Unit(benchmark::kMillisecond);

void BM_ChatLongLinePlainReference(benchmark::State& state) {
  Display d;
  d.fill();
  const QString text = QString(qsizetype(state.range(0)), QLatin1Char('w'));
  for (auto _ : state) {
    QTextCursor cursor(d.chat.document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertBlock();
    cursor.insertText(text.left(qsizetype(tw::kMaxShownLineBytes)));
    d.shown();
  }
}
BENCHMARK(BM_ChatLongLinePlainReference)->Arg(kHostLineLimit)->Unit(benchmark::kMillisecond);

void BM_ChatColourChange(benchmark::State& state) {
  Display d;
  d.fill();
  // Seat 3's lines fill the history: the worst a colour change can touch.
  for (int i = 0; i < tw::ChatDisplay::kMaxLines; ++i)
    d.chat.addLine(
        tw::layoutChatLine("3+Cid chats: hello there :)#12 see www.example.org now " + std::to_string(i)));
  d.shown();
  for (auto _ : state) {
    d.styles[3].colour ^= 0x0000FF;
    d.chat.styleChanged(3);
    d.shown();
  }
}
BENCHMARK(BM_ChatColourChange)->Unit(benchmark::kMillisecond);

}  // namespace
