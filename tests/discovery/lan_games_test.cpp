// The records a host announces, read back as a neighbour reads them, and
// what hostile records and a flood of games do to the list.
#include <gtest/gtest.h>

#include "discovery/lan_games.h"

namespace tw {
namespace {

TEST(LanRecords, WhatAHostAnnouncesReadsBackAndHostileRecordsAreCutOrRefused) {
  const GameListing listing{"Ann's game", 4000, 6, 2, true, "Club"};
  const auto records = lanRecords(listing);
  EXPECT_EQ(records, (std::vector<std::string>{"v=1", "name=Ann's game", "seats=6/6", "watch=2/3", "state=playing"}));
  LanGame game;
  game.service = "svc";
  ASSERT_TRUE(readLanRecords(records, game));
  EXPECT_EQ(game.title, "Ann's game");
  EXPECT_EQ(game.seatsTaken, 6);
  EXPECT_EQ(game.watchers, 2);
  EXPECT_TRUE(game.playing);
  EXPECT_TRUE(game.full());

  // A long name full of control characters and broken UTF-8 is cut and cleaned.
  std::string title = "Bad\x01\x1b[2J\x7f\xc2\x85 \xff\xe2\x82";
  title += std::string(500, 'x');
  ASSERT_TRUE(readLanRecords({"v=1", "name=" + title, "seats=1/6", "watch=0/3", "state=open"}, game));
  EXPECT_EQ(game.title.substr(0, 8), "Bad[2J x");
  EXPECT_EQ(game.title.size(), kMaxLanTitle);
  // "é" is two bytes and is never cut in half.
  EXPECT_EQ(cleanLanText("ab\xc3\xa9", 3), "ab");

  // Numbers out of range, other versions and missing fields leave the game as it was.
  const LanGame before = game;
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"v=2", "seats=1/6", "watch=0/3", "state=open"},
           {"v=1", "seats=7/6", "watch=0/3", "state=open"},
           {"v=1", "seats=-1/6", "watch=0/3", "state=open"},
           {"v=1", "seats=1/60", "watch=0/3", "state=open"},
           {"v=1", "seats=99999999999/6", "watch=0/3", "state=open"},
           {"v=1", "seats=1/6", "watch=4/3", "state=open"},
           {"v=1", "seats=1/6 ", "watch=0/3", "state=open"},
           {"v=1", "seats=1/6", "watch=0/3", "state=over"},
           {"v=1", "seats=1/6", "watch=0/3"},
           {}}) {
    EXPECT_FALSE(readLanRecords(bad, game)) << bad.size();
    EXPECT_EQ(game, before);
  }
  // Without a name the service's own name stands in.
  ASSERT_TRUE(readLanRecords({"v=1", "seats=1/6", "watch=0/3", "state=open"}, game));
  EXPECT_EQ(game.title, "svc");
}

TEST(LanGames, AGameStaysWhileAnySightingDoesAndAFloodStopsAtTheBound) {
  LanGames list;
  LanGame g{"svc", "Ann", "box.local", "192.168.1.5", 4000, 1, 0, false};
  EXPECT_TRUE(list.put(g, 1));
  LanGame other = g;
  other.address = "fe80::1%eth0";
  EXPECT_FALSE(list.put(other, 2));  // the same game seen over IPv6: kept at its first address
  EXPECT_EQ(list.games()[0].address, "192.168.1.5");
  g.seatsTaken = 2;
  EXPECT_TRUE(list.put(g, 1));
  EXPECT_FALSE(list.remove("svc", 1));
  EXPECT_TRUE(list.remove("svc", 2));
  EXPECT_EQ(list.size(), 0u);

  for (int i = 0; i < 1000; ++i) {
    g.service = "flood " + std::to_string(i);
    list.put(g, 1);
  }
  EXPECT_EQ(list.size(), kMaxLanGames);
  EXPECT_TRUE(list.remove("flood 0", 1));
  g.service = "late";
  EXPECT_TRUE(list.put(g, 1));
  EXPECT_TRUE(list.clear());
  EXPECT_TRUE(list.games().empty());
}

}  // namespace
}  // namespace tw
