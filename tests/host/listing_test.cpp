// What the host publishes about its game to the announcers, over real sockets.
#include <gtest/gtest.h>

#include "discovery/game_listing.h"
#include "host/host_service.h"
#include "support/loopback.h"

namespace tw::test {
namespace {

struct RecordingSink : ListingSink {
  void publish(const GameListing& l) override { published.push_back(l); }
  void withdraw() override { ++withdrawn; }
  std::vector<GameListing> published;
  int withdrawn = 0;
};

TEST(Listing, FollowsSeatsWatchersAndTheGameOncePerBurstAndIsWithdrawnWhenTheHostStops) {
  qtApp();
  HostService host([](const std::string&) {});
  RecordingSink sink;
  host.addListingSink(&sink);
  host.setTitle("Friday words");
  // Every peer of this test comes from 127.0.0.1.
  host.server().setAddressLimits({AddressLimits{}.maxPendingPerAddress, 0, AddressLimits{}.kickBanMinutes});
  ASSERT_TRUE(host.listen(0));
  ASSERT_EQ(sink.published.size(), 1u);
  EXPECT_EQ(sink.published[0], (GameListing{"Friday words", host.port(), 0, 0, false, "Beginner"}));

  // Three people arrive at once: one publication.
  auto ann = std::make_unique<Peer>(host.port(), "Ann");
  auto bob = std::make_unique<Peer>(host.port(), "Bob");
  auto cid = std::make_unique<Peer>(host.port(), "Cid");
  ASSERT_TRUE(waitUntil([&] { return sink.published.size() == 2; }));
  ASSERT_TRUE(bob->waitFor(2));
  spin(HostService::kListingDelayMs + 100);
  ASSERT_EQ(sink.published.size(), 2u);
  EXPECT_EQ(sink.published[1].seatsTaken, 3);
  EXPECT_EQ(sink.published[1].computerLevel, "");  // Bob sits in the computer's seat

  // A chat changes nothing that is listed.
  ann->say("CMD_chat+1+hi|clBlack");
  spin(HostService::kListingDelayMs + 100);
  EXPECT_EQ(sink.published.size(), 2u);

  // Bob leaves and a game starts: the computer plays, and watchers count apart.
  bob.reset();
  std::vector<std::unique_ptr<Peer>> crowd;
  for (int i = 0; i < 6; ++i) crowd.push_back(Peer::join(host.port(), "P" + std::to_string(i)));
  ann->say("CMD_startgame+Ann+100+60+f+1+0+");
  ASSERT_TRUE(waitUntil([&] { return sink.published.back().playing; }));
  spin(HostService::kListingDelayMs + 100);
  const GameListing& full = sink.published.back();
  EXPECT_EQ(full.seatsTaken, 6);
  EXPECT_EQ(full.watchers, 2);
  EXPECT_TRUE(full.playing);
  EXPECT_EQ(full.computerLevel, "");

  // A sink added late hears the listing at once; stopping withdraws from all.
  RecordingSink late;
  host.addListingSink(&late);
  ASSERT_EQ(late.published.size(), 1u);
  EXPECT_EQ(late.published[0], full);
  host.stopListening();
  EXPECT_EQ(sink.withdrawn, 1);
  EXPECT_EQ(late.withdrawn, 1);
  crowd.clear();
  spin(HostService::kListingDelayMs + 100);
  EXPECT_EQ(late.published.size(), 1u);  // nothing after the withdrawal
  host.removeListingSink(&late);
  host.removeListingSink(&sink);
}

}  // namespace
}  // namespace tw::test
