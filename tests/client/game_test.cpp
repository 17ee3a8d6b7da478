// The client's mirror of the game and the user's side of a turn, with a
// manual turn clock: what each host message does to the mirror, what each
// click sends, and the clock.
#include <gtest/gtest.h>

#include "client/game_tally.h"
#include "client/key_play.h"
#include "support/client_fixture.h"

namespace tw::test {
namespace {

using Button = GameMirror::Button;

struct RecordingTally final : GameTally {
  void addtomineincrease(int column) override { calls.push_back("increase " + std::to_string(column)); }
  void addtomineset(int column, int points, const std::string& word) override {
    calls.push_back("set " + std::to_string(column) + " " + std::to_string(points) + " " + word);
  }
  void addgame(const GameResult& result, const std::vector<std::string>& players) override {
    std::string line = std::string(result.ownWin ? "game won " : "game lost ") + result.winner + ":";
    for (const auto& p : players) line += " " + p;
    calls.push_back(line);
  }
  std::vector<std::string> calls;
};

// Every cell (x, y) holds the letter ((x * 8 + y) mod 26) + 1; the bar holds
// a to g.
int codeAt(int x, int y) { return (x * 8 + y) % 26 + 1; }

class Game : public Session {
 protected:
  Game() { client.game().setTally(&tally); }

  const GameState& state() const { return client.game().state(); }
  GameMirror& game() { return client.game(); }

  // Seat `seat` logs in, Bob sits in seat 1, and a game starts with seat
  // `first` on turn.
  void play(int seat = 3, int first = 3, const std::string& seconds = "60") {
    login(seat);
    hear("CMD_newplayerinfo+1+Bob");
    hear("CMD_startgame+Bob+100+" + seconds + "+1+0+");
    std::string board = "CMD_theboard";
    for (int x = 1; x <= 10; ++x)
      for (int y = 1; y <= 8; ++y)
        board += "+" + std::to_string(x) + "+" + std::to_string(y) + "+" + std::to_string(codeAt(x, y));
    hear(board);
    hear("CMD_mytiles+" + std::to_string(seat) + "+1+1+2+2+3+3+4+4+5+5+6+6+7+7");
    hear("CMD_nextplayer+" + std::to_string(first) + "+");
    sent.clear();
    view.sounds.clear();
    view.messages.clear();
  }
  // Flips five cells of row 7 starting at (2, 7), each answered by the host.
  void flipFive(int seat = 3) {
    for (int x = 2; x <= 6; ++x) {
      game().boardClick(x, 7, Button::Left);
      hear("CMD_heflip+" + std::to_string(seat) + "+" + std::to_string(x) + "+7+" + (x == 6 ? "t" : "f") +
           "+" + std::to_string(6 - x) + "+");
    }
    sent.clear();
  }
  void tick(int n = 1) {
    for (int i = 0; i < n && turntime.running(); ++i) game().turntimeTimer();
  }

  RecordingTally tally;
};

TEST_F(Game, AWholeTurnSendsTheExactBytesOfEachClick) {
  play(3);
  EXPECT_EQ(state().status, "Choose 5 tiles to flip.");
  game().boardClick(2, 7, Button::Left);
  EXPECT_EQ(takeSent(), "CMD_iflip+3+2+7+#");
  hear("CMD_heflip+3+2+7+f+4+");
  EXPECT_EQ(state().status, "Choose 4 letters to flip");
  for (int x = 3; x <= 5; ++x) {
    game().boardClick(x, 7, Button::Left);
    hear("CMD_heflip+3+" + std::to_string(x) + "+7+f+" + std::to_string(6 - x) + "+");
  }
  EXPECT_EQ(state().status, "Choose 1 letter to flip");
  EXPECT_FALSE(state().moveButtons);
  game().boardClick(6, 7, Button::Left);
  hear("CMD_heflip+3+6+7+t+0+");
  EXPECT_EQ(state().status, "Create a Word");
  EXPECT_TRUE(state().moveButtons);
  sent.clear();

  game().boardClick(2, 7, Button::Left);
  EXPECT_EQ(takeSent(), "CMD_useboardletter+3+2+7+1+#");
  game().barClick(5, Button::Left);
  EXPECT_EQ(takeSent(), "CMD_usebarletter+3+5+2+#");
  EXPECT_EQ(state().word[2].face, 5);
  EXPECT_EQ(state().bar[5].tag, 0);
  EXPECT_EQ(state().cellImage(2, 7), codeAt(2, 7) + GameState::kFaded);

  game().wordClick(1);  // only the last letter comes back
  EXPECT_EQ(takeSent(), "(nothing)");
  game().wordClick(2);
  EXPECT_EQ(takeSent(), "CMD_clickclear+3+2+0,5#");
  EXPECT_EQ(state().bar[5].tag, 5);
  game().barClick(5, Button::Left);
  sent.clear();
  game().clearClick();
  EXPECT_EQ(takeSent(), "CMD_clickclear+3+1+2,7+2+0,5#");
  EXPECT_EQ(state().cellImage(2, 7), codeAt(2, 7));
  EXPECT_EQ(state().wordLength, 0);

  game().boardClick(2, 7, Button::Left);
  game().barClick(5, Button::Left);
  sent.clear();
  game().boardClick(1, 1, Button::Right);  // a right-click on the board is Done
  EXPECT_EQ(takeSent(), "CMD_idone+3+2,7+0,5#");
  EXPECT_EQ(state().seatOnTurn, 0);
  EXPECT_FALSE(state().moveButtons);
}

TEST_F(Game, FlipsAndLettersAreLimited) {
  play(3);
  game().boardClick(1, 1, Button::Left);  // a face-up tile before the fifth flip is not taken
  sent.clear();
  game().boardClick(1, 1, Button::Left);
  EXPECT_EQ(takeSent(), "(nothing)");
  for (int x = 2; x <= 5; ++x) game().boardClick(x, 1, Button::Left);
  sent.clear();
  game().boardClick(9, 8, Button::Left);  // the sixth flip
  EXPECT_EQ(takeSent(), "(nothing)");
  EXPECT_FALSE(state().cell(9, 8).faceUp);
  hear("CMD_heflip+3+5+1+t+0+");
  sent.clear();

  game().boardClick(1, 1, Button::Left);
  game().boardClick(1, 1, Button::Left);  // twice: taken once
  EXPECT_EQ(state().wordLength, 1);
  for (int x = 2; x <= 5; ++x) game().boardClick(x, 1, Button::Left);
  for (int slot = 1; slot <= 5; ++slot) game().barClick(slot, Button::Left);
  EXPECT_EQ(state().wordLength, 10);
  sent.clear();
  game().barClick(6, Button::Right);
  EXPECT_EQ(state().selectedSlot, 6);
  game().barClick(7, Button::Left);  // the eleventh letter: refused, the raised tile lowered
  EXPECT_EQ(state().wordLength, 10);
  EXPECT_EQ(state().selectedSlot, 0);
  EXPECT_EQ(state().bar[7].tag, 7);
  EXPECT_EQ(takeSent(), "(nothing)");
}

TEST_F(Game, RightClicksSwapBarPlacesAndShuffleKeepsSlots) {
  play(3);
  game().barClick(2, Button::Right);  // before the five flips the bar cannot be touched
  EXPECT_EQ(state().selectedSlot, 0);
  flipFive();
  game().barClick(2, Button::Right);
  EXPECT_EQ(state().selectedSlot, 2);
  game().barClick(6, Button::Right);
  EXPECT_EQ(state().selectedSlot, 0);
  EXPECT_EQ(state().bar[2].position, 6);
  EXPECT_EQ(state().bar[6].position, 2);
  game().barClick(2, Button::Left);
  EXPECT_EQ(takeSent(), "CMD_usebarletter+3+2+1+#");

  game().barClick(3, Button::Right);
  game().seed(11);
  game().shuffle();
  std::vector<int> places;
  for (int slot = 1; slot <= 7; ++slot) places.push_back(state().bar[std::size_t(slot)].position);
  std::sort(places.begin(), places.end());
  EXPECT_EQ(places, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(state().selectedSlot, 3);
  EXPECT_EQ(takeSent(), "(nothing)");
}

TEST_F(Game, TheClockCountsShowsAndEndsTheUsersMoves) {
  play(3, 3, "60");
  tick();
  EXPECT_EQ(state().timeBar, 177);
  EXPECT_EQ(state().clock, "Time: 0:59");
  EXPECT_FALSE(state().clockRed);
  view.sounds.clear();
  tick(40);  // 19 left
  EXPECT_TRUE(state().clockRed);
  EXPECT_EQ(state().clock, "Time: 0:19");
  EXPECT_EQ(view.sounds, Messages{"tick"});  // at 20
  tick(9);
  EXPECT_EQ(state().clock, "Time: 0:10");
  EXPECT_EQ(view.sounds.size(), 3u);  // 20, 15 and 10
  tick(10);
  EXPECT_EQ(state().clock, "Time: 0:00");
  EXPECT_EQ(state().timeBar, 0);
  EXPECT_EQ(state().seatOnTurn, 0);
  sent.clear();
  game().boardClick(1, 1, Button::Left);  // refused before the host's time-up arrives
  EXPECT_EQ(takeSent(), "(nothing)");

  const std::pair<const char*, int> scales[] = {{"45", 4}, {"120", 1}, {"0", 3}, {"-5", 3}, {"soon", 3}};
  for (auto [seconds, scale] : scales) {
    hear(std::string("CMD_startgame+Bob+100+") + seconds + "+1+0+");
    EXPECT_EQ(state().barScale, scale) << seconds;
  }
  client.setTurnSound(1);
  view.sounds.clear();
  hear("CMD_startgame+Bob+100+65+1+0+");
  hear("CMD_nextplayer+3+");
  EXPECT_EQ(view.sounds, Messages{"turnnew"});
  hear("CMD_nextplayer+1+");
  EXPECT_EQ(state().timePerTurn, "Time Per Turn: 65secs");
  tick(2);
  EXPECT_EQ(state().clock, "Time: 1:03");
  hear("CMD_hepasses+1+");
  EXPECT_FALSE(turntime.running());
  EXPECT_EQ(state().status, "Bob passed.");
}

TEST_F(Game, ResultsOfATurnAndTheNextTurnStart) {
  play(3);
  flipFive();
  game().boardClick(2, 7, Button::Left);
  game().barClick(1, Button::Left);
  game().clickdone();
  hear("CMD_hisword+3+ba+48+12+2+1");
  EXPECT_EQ(state().status, "Ann made: BA for 12 points.");
  EXPECT_EQ(state().seats[3].bonus, "+12 ba");
  EXPECT_EQ(state().seats[3].score, "48");
  EXPECT_TRUE(state().word[1].marker);
  EXPECT_FALSE(state().word[2].marker);
  EXPECT_EQ(tally.calls, (Messages{"increase 3", "set 4 12 ba"}));
  EXPECT_FALSE(turntime.running());

  hear("CMD_hisword+1+zz+7+0+26+26");  // a word worth nothing changes the score only
  EXPECT_EQ(state().status, "Ann made: BA for 12 points.");
  EXPECT_EQ(state().seats[1].score, "7");
  hear("CMD_buytiles+1+30+20+");
  EXPECT_EQ(state().seats[1].bonus, " - 20");
  EXPECT_EQ(state().status, "Bob bought new tiles.");

  hear("CMD_theirtiles+1+1+5+2+0+3+26+4+1+5+1+6+1+7+99");
  EXPECT_TRUE(state().theirTilesShown);  // "See Other Player's Tiles" is on
  EXPECT_EQ(state().theirTilesLabel, "Bob Tiles:");
  EXPECT_EQ(state().theirTiles[3], 26);
  EXPECT_EQ(state().theirTiles[7], 0);
  hear("CMD_theboard+2+7+9");
  hear("CMD_nextplayer+1+");
  EXPECT_FALSE(state().theirTilesShown);
  EXPECT_EQ(state().status, "Bob's turn.");
  EXPECT_EQ(state().markedSeat, 1);
  EXPECT_EQ(state().seats[1].bonus, "");
  EXPECT_EQ(state().cellImage(3, 7), GameState::kBack);
  EXPECT_EQ(state().cellImage(2, 7), GameState::kBack);
  EXPECT_EQ(state().word[1].face, 0);
  EXPECT_FALSE(state().word[1].marker);
  EXPECT_EQ(state().word[1].cell, "0,0");
  hear("CMD_heflip+1+4+4+f+4+");
  hear("CMD_heuseboardletter+1+4+4+1+9+");
  EXPECT_EQ(state().cellImage(4, 4), codeAt(4, 4) + GameState::kFaded);
  EXPECT_EQ(state().word[1].face, 9);
  hear("CMD_heclickclear+1+1+4,4");
  EXPECT_EQ(state().cellImage(4, 4), codeAt(4, 4));
  EXPECT_EQ(state().word[1].face, 0);
}

TEST_F(Game, InvalidWordsTimeUpAndBuyingGiveTheTurnBack) {
  play(3);
  flipFive();
  game().boardClick(2, 7, Button::Left);
  game().clickdone();
  hear("CMD_invalid+3+");
  EXPECT_EQ(state().status, "Invalid Word");
  EXPECT_EQ(state().seatOnTurn, 3);
  EXPECT_TRUE(state().moveButtons);
  EXPECT_EQ(state().wordLength, 1);  // "Clear Word" is off

  client.setClearWord(true);
  game().clickdone();
  sent.clear();
  tick(56);  // 4 seconds left: the buttons stay hidden, the turn goes on
  hear("CMD_invalid+3+");
  EXPECT_EQ(takeSent(), "CMD_clickclear+3+1+2,7#");
  EXPECT_FALSE(state().moveButtons);
  EXPECT_EQ(state().seatOnTurn, 3);

  game().boardClick(2, 7, Button::Left);
  sent.clear();
  hear("CMD_timeup+3+");
  EXPECT_EQ(state().status, "You have run out of time.");
  EXPECT_EQ(takeSent(), "CMD_clickclear+3+1+2,7#");

  hear("CMD_notenough+3+");
  EXPECT_EQ(state().status, "You do not have enough points to buy new tiles.");
  game().buyClick();
  EXPECT_EQ(takeSent(), "CMD_clickbuy+3+#");
  hear("CMD_buytiles+3+10+20+");
  EXPECT_EQ(state().seatOnTurn, 3);
  EXPECT_EQ(state().status, "You bought new tiles.");
}

TEST_F(Game, ButtonsInAndOutOfTurn) {
  play(3, 1);
  hear("CMD_nextplayer+3+");
  flipFive();
  game().clickdone();  // an empty word: nothing, the buttons stay
  EXPECT_EQ(takeSent(), "(nothing)");
  EXPECT_TRUE(state().moveButtons);
  game().clearClick();
  EXPECT_EQ(takeSent(), "(nothing)");
  game().buyClick();
  EXPECT_EQ(takeSent(), "CMD_clickbuy+3+#");
  EXPECT_TRUE(state().moveButtons);  // Buy keeps them
  game().buyClick();                 // not on turn any more
  EXPECT_EQ(takeSent(), "(nothing)");
  game().passClick();  // not on turn: only hides the buttons
  EXPECT_EQ(takeSent(), "(nothing)");
  EXPECT_FALSE(state().moveButtons);

  hear("CMD_buytiles+3+10+20+");
  game().boardClick(2, 7, Button::Left);
  sent.clear();
  game().passClick();
  EXPECT_EQ(takeSent(), "CMD_clickclear+3+1+2,7#");
  EXPECT_EQ(takeSent(), "CMD_hepass+3+#");
  EXPECT_EQ(state().seatOnTurn, 0);
}

TEST_F(Game, JustWatchShowsTheWatchMessageInsteadOfMoves) {
  play(3);
  hear("CMD_justwatching+3+1");
  const std::string watch = "You need to turn off \"Just Watch\" before you can play.";
  game().boardClick(1, 1, Button::Left);
  game().barClick(1, Button::Left);
  game().clickdone();
  game().passClick();
  game().clearClick();
  game().buyClick();
  EXPECT_EQ(view.messages, Messages(6, watch));
  EXPECT_EQ(takeSent(), "(nothing)");
  hear("CMD_nextplayer+1+");
  view.messages.clear();
  game().boardClick(1, 1, Button::Left);  // not on turn: the board and Buy say nothing
  game().buyClick();
  game().clickdone();  // Done, Pass and Clear always do
  EXPECT_EQ(view.messages, Messages(1, watch));
  hear("CMD_heflip+1+1+1+f+4+");  // the computer's moves for a watcher show
  EXPECT_EQ(state().cellImage(1, 1), codeAt(1, 1));
}

TEST_F(Game, TheGameEndsWithTheWinnerAndTheTally) {
  play(3);
  hear("CMD_newplayerinfo+4+Cy");
  hear("CMD_winner+Ann+");
  EXPECT_EQ(state().winnerText, "You have Won the Game!");
  EXPECT_TRUE(state().winnerShown);
  EXPECT_FALSE(state().startButton);  // only seat 1 is offered a new game
  EXPECT_EQ(tally.calls, Messages{"game won Ann: Bob Klot Cy"});
  EXPECT_FALSE(turntime.running());

  tally.calls.clear();
  client.setHosting(true);  // hosting is not seat 1
  hear("CMD_winner+Cy+");
  EXPECT_EQ(state().winnerText, "Cy has Won the Game!");
  EXPECT_FALSE(state().startButton);
  EXPECT_EQ(tally.calls, Messages{"game lost Cy: Bob Klot Cy"});
  hear("CMD_startgame+Bob+100+60+3+1+");
  EXPECT_FALSE(state().winnerShown);
  EXPECT_FALSE(state().startButton);
  EXPECT_EQ(state().gameMode, "Game Mode: Sneak Peek");
  EXPECT_TRUE(state().fourPlayer);
}

TEST_F(Game, ASpectatorIsNeverTallied) {
  login(7);
  hear("CMD_newplayerinfo+1+Bob");
  hear("CMD_winner+Ann+");
  EXPECT_EQ(state().winnerText, "Ann has Won the Game!");
  EXPECT_TRUE(tally.calls.empty());
}

TEST_F(Game, AJoinerCatchesUpAndSneakPeeksAreLooksOnly) {
  login(3);
  hear("CMD_stats+3+150+45+3+30+sneak+1+1+12+2+0+3+40+4+0+5+0+6+0");
  EXPECT_EQ(state().playToScore, "Play to Score: 150");
  EXPECT_EQ(state().barScale, 4);
  EXPECT_EQ(state().seatOnTurn, 0);  // the host passes a newcomer's own turn
  EXPECT_EQ(state().seats[3].score, "40");
  EXPECT_EQ(state().gameMode, "Game Mode: Sneak Peek");
  EXPECT_TRUE(state().fourPlayer);
  hear("CMD_theboard+1+1+5");
  hear("CMD_isflipped+3+1+1");
  EXPECT_EQ(state().cellImage(1, 1), 5);

  hear("CMD_sneak+3+");
  EXPECT_EQ(state().status, "Here is your Sneak Peek");
  EXPECT_EQ(state().cellImage(1, 1), 5 + GameState::kFaded);
  EXPECT_EQ(state().sneakerSeat, 3);
  game().boardClick(1, 1, Button::Left);
  EXPECT_EQ(takeSent(), "(nothing)");
  hear("CMD_nextplayer+3+");
  EXPECT_EQ(state().cellImage(1, 1), GameState::kBack);
}

TEST_F(Game, LettersTheHostKeepsBackShowFaceDownUntilTheirCellIsTurnedUp) {
  play(3);
  log.clear();
  hear("CMD_theboard+2+7+0+3+7+0+4+7+0");
  EXPECT_EQ(state().cellImage(2, 7), GameState::kBack);
  game().boardClick(2, 7, Button::Left);  // face up at the click, its letter still to come
  EXPECT_EQ(state().cellImage(2, 7), GameState::kBack);
  hear("CMD_theboard+2+7+9");
  hear("CMD_heflip+3+2+7+f+4+");
  EXPECT_EQ(state().cellImage(2, 7), 9);
  game().boardClick(3, 7, Button::Left);
  hear("CMD_theboard+3+7+12");  // its letter, before the host's answer
  EXPECT_EQ(state().cellImage(3, 7), 12);
  game().boardClick(3, 7, Button::Left);  // still a flip of its own: not sent twice
  EXPECT_EQ(state().flipsMade, 2);
  hear("CMD_sneak+3+");  // a look that misses a letter shows that cell's back
  EXPECT_EQ(state().cellImage(4, 7), GameState::kBack);
  EXPECT_EQ(state().cellImage(3, 7), 12 + GameState::kFaded);
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(Game, HostileFieldsNeverReachTheMirror) {
  play(3);
  hear("CMD_mytiles+3+1+0+2+30+9+5+3+-1");
  EXPECT_EQ(state().bar[1].tag, 0);  // a blank tile, not a message box
  EXPECT_EQ(state().bar[2].tag, 0);
  EXPECT_EQ(state().bar[3].tag, 0);
  EXPECT_TRUE(view.messages.empty());
  hear("CMD_mytiles+4+1+9");  // another seat's tiles change nothing
  EXPECT_EQ(state().bar[1].code, 0);
  for (const char* m :
       {"CMD_theboard+11+1+5+0+3+5+1+1+99", "CMD_heflip+3+0+9+f+4+", "CMD_heuseboardletter+3+1+1+11+5+",
        "CMD_heusebarletter+3+0+5+", "CMD_heclickclear+3+12+1,1+1+40,2", "CMD_nextplayer+7+",
        "CMD_hisword+9+cat+5+5", "CMD_theirtiles+0+1+1", "CMD_sneaker+8+", "CMD_buytiles+-3+1+20+",
        "CMD_timeup+77+", "CMD_hepasses+2147483647+", "CMD_isflipped+3+99+99", "CMD_theboard+1+1+x+2+2+5",
        "CMD_stats+3+100+60+x"})
    hear(m);
  EXPECT_EQ(state().cell(1, 1).code, 0);             // 99 is no tile
  EXPECT_EQ(state().cell(2, 2).code, codeAt(2, 2));  // the bad group stopped its handler first
  EXPECT_EQ(state().word[1].face, 0);
  EXPECT_EQ(state().seatOnTurn, 3);
  EXPECT_EQ(state().status, "Choose 5 tiles to flip.");
  EXPECT_EQ(takeSent(), "(nothing)");
}

// Row 7 from column 2 holds x f n v d; the bar a to g.
TEST_F(Game, KeysMakeTheMouseMovesAndOnlyOnTurn) {
  using Key = KeyPlay::Key;
  const auto board = KeyPlay::Place::Board, bar = KeyPlay::Place::Bar;
  KeyPlay keys(game(), [this] { return client.ownSeat(); });
  play(3, 1);
  EXPECT_FALSE(keys.turnStarted());
  for (Key k : {Key::Down, Key::Space, Key::Return, Key::Escape, Key::Backspace}) keys.press(board, k);
  EXPECT_FALSE(keys.press(board, Key::Letter, 'a'));
  EXPECT_EQ(takeSent(), "(nothing)");
  hear("CMD_nextplayer+3+");
  EXPECT_TRUE(keys.turnStarted());
  EXPECT_FALSE(keys.turnStarted());
  for (Key k : {Key::Left, Key::Up, Key::Right}) keys.press(board, k);  // the edge holds
  for (int i = 0; i < 9; ++i) keys.press(board, Key::Down);
  EXPECT_EQ(std::pair(keys.focusX(), keys.focusY()), std::pair(2, 8));
  keys.press(board, Key::Up);
  for (int x = 2; x <= 7; ++x, keys.press(board, Key::Right)) keys.press(board, Key::Space);
  EXPECT_EQ(takeSent(), "CMD_iflip+3+2+7+#");
  EXPECT_EQ(sent.size(), 4u);  // a sixth flip is refused
  flipFive();
  EXPECT_EQ(KeyPlay::cellWords(state(), 2, 7), "row 7, column 2, X, 10 points, face up");
  EXPECT_EQ(KeyPlay::cellWords(state(), 2, 8), "row 8, column 2, face down");
  EXPECT_TRUE(keys.press(board, Key::Letter, 'D'));  // the board first, then the bar
  EXPECT_TRUE(keys.press(board, Key::Letter, 'd'));
  EXPECT_FALSE(keys.press(board, Key::Letter, 'd'));
  EXPECT_FALSE(keys.press(board, Key::Letter, '#'));
  EXPECT_EQ(takeSent(), "CMD_useboardletter+3+6+7+1+#");
  EXPECT_EQ(takeSent(), "CMD_usebarletter+3+4+2+#");
  EXPECT_EQ(KeyPlay::cellWords(state(), 6, 7), "row 7, column 6, D, 1 point, face up, in the word");
  EXPECT_EQ(KeyPlay::slotWords(state(), 4), "bar tile 4, D, 1 point, in the word");
  EXPECT_EQ(KeyPlay::wordWords(state(), 1), "word letter 1, D, 1 point, from the board");
  keys.press(board, Key::Backspace);
  EXPECT_EQ(takeSent(), "CMD_clickclear+3+2+0,4#");
  keys.press(bar, Key::Escape);
  EXPECT_EQ(takeSent(), "CMD_clickclear+3+1+6,7#");
  keys.press(bar, Key::Right);
  keys.press(bar, Key::Select);  // raises the tile for a swap, as a right-click
  EXPECT_EQ(state().selectedSlot, 2);
  keys.press(bar, Key::Space);
  keys.press(bar, Key::Return);
  EXPECT_EQ(takeSent(), "CMD_usebarletter+3+2+1+#");
  EXPECT_EQ(takeSent(), "CMD_idone+3+0,2#");
  hear("CMD_nextplayer+3+");
  hear("CMD_justwatching+3+1");
  EXPECT_TRUE(keys.turnStarted());
  keys.press(board, Key::Space);
  EXPECT_EQ(takeSent(), "(nothing)");
  EXPECT_EQ(view.messages.size(), 1u);  // the watch message, as for a click
}

}  // namespace
}  // namespace tw::test
