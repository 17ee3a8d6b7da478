// The game part of the main window redrawn from a game state alone: no
// session, no socket, only the state, the roster and the change bits.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "client/game_mirror.h"
#include "support/ui_app.h"
#include "windows/game_area.h"

namespace tw::test {
namespace {

TEST(GamePart, RedrawsWhatTheStateSaysOnlyWhenToldWhatChanged) {
  uiApp();
  QWidget panel;
  panel.resize(720, 560);
  GameState state;
  Roster roster;
  GameArea area(&panel, state, roster);
  area.tellReader = [](QAccessibleEvent*) {};
  panel.show();
  const auto text = [&](const char* name) { return panel.findChild<QLabel*>(QLatin1String(name))->text(); };
  const auto shown = [&](const char* name) {
    return panel.findChild<QWidget*>(QLatin1String(name))->isVisibleTo(&panel);
  };

  roster.setName(1, "Ann", true);
  roster.setName(3, "Cid", true);
  roster.setWatching(3, true);
  state.seats[1].score = "42";
  state.seats[3].bonus = "+12";
  state.markedSeat = 3;
  state.status = "Cid's turn";
  state.clock = "Time: 0:07";
  state.winnerText = "Ann has Won the Game!";
  state.winnerShown = true;
  state.startButton = true;
  // Nothing was said to have changed: nothing shows it yet.
  EXPECT_NE(text("label_score1"), QStringLiteral("42"));
  EXPECT_FALSE(shown("panel_winner"));

  area.redraw(kSeatsChanged | kStatusChanged | kClockChanged | kPanelsChanged);
  EXPECT_EQ(text("label_playername1"), QStringLiteral("Ann"));
  EXPECT_EQ(text("label_score1"), QStringLiteral("42"));
  EXPECT_EQ(text("label_bonus3"), QStringLiteral("+12"));
  EXPECT_TRUE(shown("image_eyes3"));
  EXPECT_FALSE(shown("image_eyes1"));
  EXPECT_TRUE(shown("image_Turn"));
  EXPECT_EQ(text("label_status"), QStringLiteral("Cid's turn"));
  EXPECT_EQ(text("label_timer"), QStringLiteral("Time: 0:07"));
  EXPECT_TRUE(shown("panel_winner"));
  EXPECT_EQ(text("label_winner1"), QStringLiteral("Ann has Won the Game!"));
  EXPECT_TRUE(shown("button_start"));

  // One seat told: its label follows the roster, the rest stays.
  roster.setName(3, "Cid", false);
  roster.setWatching(3, false);
  state.status = "unsaid";
  area.redrawSeat(3);
  EXPECT_FALSE(shown("label_playername3"));
  EXPECT_FALSE(shown("label_score3"));
  EXPECT_FALSE(shown("image_eyes3"));
  EXPECT_EQ(text("label_status"), QStringLiteral("Cid's turn"));
  // A seat outside the rows changes nothing and does not crash.
  area.redrawSeat(0);
  area.redrawSeat(7);
}

}  // namespace
}  // namespace tw::test
