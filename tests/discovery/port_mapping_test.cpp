// The router port mapper's decisions in virtual time: NAT-PMP first, UPnP
// after it, renewal at half the lease, retries, giving up, and no mapping
// left open on the router that nobody wants.
#include <gtest/gtest.h>

#include "discovery/port_mapping.h"
#include "support/manual_timer.h"

namespace tw {
namespace {

struct Router final : RouterPorts {
  struct Request {
    int number;
    MappingMethod method;
    int internalPort, externalPort, lifetimeSec;
  };
  void request(int number, MappingMethod method, int internalPort, int externalPort, int lifetimeSec) override {
    requests.push_back({number, method, internalPort, externalPort, lifetimeSec});
  }
  void cancel() override { ++cancels; }
  void remove(MappingMethod method, int, int externalPort) override {
    removed.push_back(std::string(methodName(method)) + ":" + std::to_string(externalPort));
  }
  std::vector<Request> requests;
  std::vector<std::string> removed;
  int cancels = 0;
};

struct Mapper : ::testing::Test {
  Router router;
  test::ManualTimer timer;
  test::VirtualClock clock;
  int changes = 0;
  std::vector<std::string> logs;
  PortMapper mapper{router, timer, [this] { return clock.now; }, [this] { ++changes; },
                    [this](const std::string& line) { logs.push_back(line); }};
  void SetUp() override { clock.add(timer, [this] { mapper.timerTimer(); }); }
  const Router::Request& last() const { return router.requests.back(); }
  void answer(bool ok, int port, int lifetime, std::string why = {}) {
    mapper.answered(last().number, last().method, {ok, port, lifetime, "203.0.113.7", std::move(why)});
  }
};

TEST_F(Mapper, NatPmpIsAskedFirstRenewedAtHalfTheLeaseAndRemovedAtTheEnd) {
  mapper.start(7777);
  ASSERT_EQ(router.requests.size(), 1u);
  EXPECT_EQ(last().method, MappingMethod::NatPmp);
  EXPECT_EQ(last().externalPort, 7777);
  EXPECT_EQ(last().lifetimeSec, PortMapper::kLeaseSec);
  answer(true, 40000, 120);
  EXPECT_TRUE(mapper.settled());
  EXPECT_EQ(mapper.externalPort(), 40000);
  EXPECT_EQ(changes, 1);
  EXPECT_NE(logs.back().find("203.0.113.7 port 40000"), std::string::npos) << logs.back();

  ASSERT_TRUE(clock.step());
  EXPECT_EQ(clock.now, 60000);
  ASSERT_EQ(router.requests.size(), 2u);
  EXPECT_EQ(last().externalPort, 40000);  // the same opening, renewed
  answer(true, 40000, 120);
  EXPECT_EQ(changes, 1);

  // An answer to an old request, with a port nobody waits for, is closed again.
  mapper.answered(1, MappingMethod::NatPmp, {true, 40001, 120, {}, {}});
  EXPECT_EQ(router.removed, std::vector<std::string>{"NAT-PMP:40001"});
  mapper.stop();
  EXPECT_EQ(router.removed.back(), "NAT-PMP:40000");
  EXPECT_FALSE(timer.running());
  mapper.answered(2, MappingMethod::NatPmp, {true, 40000, 120, {}, {}});
  EXPECT_EQ(router.removed.size(), 3u);
}

TEST_F(Mapper, SilentOrStrangeRoutersFallBackToUpnpThenWaitAndAskAgain) {
  mapper.start(7777);
  ASSERT_TRUE(clock.step());  // NAT-PMP says nothing
  EXPECT_EQ(clock.now, PortMapper::kNatPmpWaitMs);
  EXPECT_EQ(router.cancels, 1);
  EXPECT_EQ(last().method, MappingMethod::Upnp);
  EXPECT_FALSE(mapper.settled());
  answer(true, 70000, 3600);  // not a port
  EXPECT_TRUE(mapper.settled());
  EXPECT_EQ(mapper.externalPort(), 0);
  EXPECT_EQ(changes, 1);
  EXPECT_NE(logs.back().find("NAT-PMP: no answer from the router (NAT-PMP); UPnP: the router gave no port"),
            std::string::npos)
      << logs.back();

  ASSERT_TRUE(clock.step());
  EXPECT_EQ(clock.now, PortMapper::kNatPmpWaitMs + PortMapper::kRetryMs);
  EXPECT_EQ(last().method, MappingMethod::NatPmp);
  answer(false, 0, 0, "not authorized");
  ASSERT_TRUE(clock.step());  // UPnP too slow: given up, and what it opens late is closed
  EXPECT_EQ(last().method, MappingMethod::Upnp);
  answer(true, 7777, 0);
  EXPECT_EQ(router.removed, std::vector<std::string>{"UPnP:7777"});
  EXPECT_EQ(mapper.externalPort(), 0);
}

TEST_F(Mapper, FailedRenewalsAreRetriedWhileTheLeaseLastsThenTheLadderStartsAgain) {
  mapper.start(7777);
  mapper.answered(1, MappingMethod::NatPmp, {false, 0, 0, {}, "no NAT-PMP router answered"});
  answer(true, 7777, 0);  // UPnP, kept until removed
  EXPECT_EQ(mapper.method(), MappingMethod::Upnp);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(clock.step());
    EXPECT_EQ(last().method, MappingMethod::Upnp);
    answer(false, 0, 0, "UPnP error -3");
    EXPECT_EQ(mapper.externalPort(), i < 2 ? 7777 : 0);
  }
  EXPECT_EQ(clock.now, PortMapper::kPermanentRenewMs + 2 * PortMapper::kRenewRetryMs);
  EXPECT_EQ(last().method, MappingMethod::NatPmp);

  answer(true, 7777, 100);
  const std::int64_t mapped = clock.now;
  ASSERT_TRUE(clock.step());  // at 50 s: no answer in time
  ASSERT_TRUE(clock.step());
  EXPECT_EQ(mapper.externalPort(), 7777);
  ASSERT_TRUE(clock.step());  // retried at 82 s: a refusal, and 30 s more would pass the lease's end
  answer(false, 0, 0, "out of resources");
  EXPECT_EQ(clock.now, mapped + 50000 + PortMapper::kNatPmpWaitMs + PortMapper::kRenewRetryMs);
  EXPECT_EQ(mapper.externalPort(), 0);
  EXPECT_EQ(last().externalPort, 7777);
  EXPECT_EQ(changes, 4);
}

}  // namespace
}  // namespace tw
