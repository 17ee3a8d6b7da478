// ComputerPlayer: plays the turns of an empty seat 2 and of any seat whose
// player just watches, in three paced steps of computertimer, through the
// same move handlers a person's messages reach. Beginner draws words from
// its vocabulary; the levels above it choose from what the seat has seen.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/computer_engine.h"
#include "host/dice.h"
#include "host/game.h"
#include "host/host_rules.h"
#include "host/slots.h"
#include "host/word_finder_job.h"
#include "net/framing.h"
#include "net/log.h"
#include "net/timer.h"

namespace tw {

// The move handlers of a turn, with the values a message would carry.
class PlayerMoves {
 public:
  virtual void iflip(int seat, int x, int y) = 0;
  virtual void usebarletter(int seat, int slot, int wordpos) = 0;
  virtual void useboardletter(int seat, int x, int y, int wordpos) = 0;
  virtual void clickbuy(int seat) = 0;
  virtual void hepass(int seat) = 0;
  virtual void idone(int seat, const std::vector<CellRef>& word) = 0;

 protected:
  ~PlayerMoves() = default;
};

// The computer's steps, kept as the tag of computertimer and numbered as its tags are.
enum class BotStep {
  None = 0,
  Flip = 1,    // turn over five cells
  Word = 2,    // find a word and lay it out
  Submit = 3,  // submit it
};

class ComputerPlayer {
 public:
  ComputerPlayer(Game& game, Slots& slotTable, PlayerMoves& moves, Dice& dice, HostRules& rules, Timer& computertimer,
                 const LogFn& log);

  void computertimerTimer();

  // True when nobody plays the seat: nobody is connected, or he just watches.
  bool playedByComputer(int seat) const;
  // The current seat's turn starts.
  void startTurn();
  // Whatever was planned for the turn under way is void.
  void stop() { computertimer_.stop(); }
  // Its seat was taken for a moment and is free again: the turn under way
  // goes on from the step it waited at.
  void resumeTurn();
  // The turn ends: each seat remembers what it saw; a new game forgets all.
  void rememberTurn();
  // A game starts: a player's own list is indexed if a level will search it.
  void prepareSearch();

  int botSpeed() const { return botSpeed_; }
  void setBotSpeed(int ms) { botSpeed_ = ms; }
  ComputerLevel level(int seat) const { return levels_.at(std::size_t(seat)); }
  void setLevel(ComputerLevel level) { levels_.fill(level); }
  void setLevel(int seat, ComputerLevel level) { levels_.at(std::size_t(seat)) = level; }

  BotStep botStep() const { return botStep_; }
  int botCountdown() const { return botCountdown_; }
  // The word laid out this turn, in word order; empty before there is one.
  const std::vector<CellRef>& botWord() const { return botWord_; }

 private:
  void armBot(BotStep step, int ticks);
  void computerplay(int seat);
  void computerword(int seat);
  void computerdone(int seat);
  void layOutBotWord(int seat);

  // The levels above Beginner (computer_player_levels.cpp).
  bool peeksThisTurn(int seat) const;
  SeatView seatView(int seat) const;
  WordFinder::Part searchPart() const;
  const LevelSkill& skillOf(ComputerLevel level) const;
  void announceLevel(int seat);
  void skilledplay(int seat);
  void skilledword(int seat);
  bool waitsForSearch(int seat);

  Game& game_;
  Slots& slots_;
  PlayerMoves& moves_;
  Dice& dice_;
  HostRules& rules_;
  Timer& computertimer_;
  const LogFn& log_;

  BotStep botStep_ = BotStep::None;
  int botCountdown_ = 0;
  std::vector<CellRef> botWord_;
  int botSpeed_ = rules::kBotNormalMs;
  // Indexes of the words it may choose: at least 4 letters, not among the last ten.
  std::size_t botChoices_ = 0;
  std::array<ComputerLevel, Game::seatCount + 1> levels_{};
  ComputerLevel botLevel_ = ComputerLevel::Beginner;  // the level playing this turn
  // What each seat remembers of the board: the code of a cell seen face up
  // since it was last replaced, 0 for none.
  std::array<std::array<std::array<std::uint8_t, Game::kBoardHeight + 1>, Game::kBoardWidth + 1>,
             Game::seatCount + 1>
      memory_{};
  // The level each seat's players were last told of in this game.
  std::array<std::optional<ComputerLevel>, Game::seatCount + 1> announced_{};
  std::uint32_t botSalt_ = 0;  // picks the part of the list a Club search sees this turn
  WordFinderJob finderJob_;
};

}  // namespace tw
