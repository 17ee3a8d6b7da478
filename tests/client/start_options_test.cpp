// The game window's command line: the lobby's parameters and the program's
// own options, and nothing else taken as an option.
#include <gtest/gtest.h>

#include "client/start_options.h"

namespace tw {
namespace {

using Args = std::vector<std::string>;
using Action = StartArgs::Action;

TEST(StartArgs, TheLobbysParametersDecideSoloHostJoinOrWait) {
  const StartArgs solo = parseStartArgs({});
  EXPECT_EQ(solo.action, Action::Run);
  EXPECT_TRUE(solo.solo());
  EXPECT_TRUE(solo.hosting());
  EXPECT_EQ(solo.port, 7772);

  const StartArgs join = parseStartArgs({"Bob", "10.0.0.5", "false"});
  EXPECT_TRUE(join.complete());
  EXPECT_FALSE(join.hosting());
  EXPECT_EQ(join.params, (Args{"Bob", "10.0.0.5", "false"}));
  EXPECT_TRUE(parseStartArgs({"Bob", "x", "true"}).hosting());
  EXPECT_FALSE(parseStartArgs({"Bob", "x", "TRUE"}).hosting());

  // Fewer than three: run, but neither solo nor connecting.
  for (const Args& few : {Args{"Bob"}, Args{"Bob", "10.0.0.5"}}) {
    const StartArgs a = parseStartArgs(few);
    EXPECT_EQ(a.action, Action::Run);
    EXPECT_FALSE(a.solo());
    EXPECT_FALSE(a.complete());
    EXPECT_FALSE(a.hosting());
  }
  // More than three: the rest is ignored.
  const StartArgs more = parseStartArgs({"Bob", "h", "true", "extra", "--bogus", "-x"});
  EXPECT_EQ(more.action, Action::Run);
  EXPECT_EQ(more.params, (Args{"Bob", "h", "true"}));
}

TEST(StartArgs, OnlyTheProgramsOwnOptionsAreOptions) {
  // Names and addresses that look like options are parameters.
  const StartArgs dash = parseStartArgs({"-Bob", "-h", "-v"});
  EXPECT_EQ(dash.action, Action::Run);
  EXPECT_EQ(dash.params, (Args{"-Bob", "-h", "-v"}));
  EXPECT_EQ(parseStartArgs({"--bogus", "-p", "1"}).params, (Args{"--bogus", "-p", "1"}));

  const StartArgs own = parseStartArgs({"--new-instance", "Ann", "--port", "9000", "127.0.0.1", "false"});
  EXPECT_EQ(own.action, Action::Run);
  EXPECT_TRUE(own.newInstance);
  EXPECT_EQ(own.port, 9000);
  EXPECT_EQ(own.params, (Args{"Ann", "127.0.0.1", "false"}));
  EXPECT_EQ(parseStartArgs({"--port=0"}).port, 0);
  // "--" ends the options and is no parameter itself.
  EXPECT_EQ(parseStartArgs({"--", "--help", "h", "--", "x"}).params, (Args{"--help", "h", "--"}));

  EXPECT_EQ(parseStartArgs({"Ann", "--help"}).action, Action::Help);
  EXPECT_EQ(parseStartArgs({"--version"}).action, Action::Version);
  EXPECT_EQ(parseStartArgs({"--port", "x", "--help"}).action, Action::Help);

  for (const Args& bad : {Args{"--port"}, Args{"--port", "x"}, Args{"--port", "65536"}, Args{"--port", "-1"},
                          Args{"--port="}, Args{"--port", "80x"}, Args{"--version", "--port", ""}}) {
    const StartArgs a = parseStartArgs(bad);
    EXPECT_EQ(a.action, Action::Error) << bad.back();
    EXPECT_NE(a.error.find("--port"), std::string::npos);
  }
}

TEST(StartPlan, SoloHostsOnThisMachineAsYouAndTheLobbysParametersHostJoinOrWait) {
  using Connection = StartPlan::Connection;
  const StartPlan solo = startPlan(true, false, true, "ignored");
  EXPECT_EQ(solo.connection, Connection::Host);
  EXPECT_EQ(solo.playerName, "You");
  EXPECT_TRUE(solo.loopbackOnly && solo.offerDownload);
  EXPECT_EQ(solo.status, "Loading Solo Game..Please wait.");

  const StartPlan host = startPlan(false, true, true, "Ann");
  EXPECT_EQ(host.connection, Connection::Host);
  EXPECT_EQ(host.playerName, "Ann");
  EXPECT_FALSE(host.loopbackOnly || host.offerDownload);
  EXPECT_EQ(host.status, "Loading Multi-player Game.. Please Wait.");
  EXPECT_EQ(startPlan(false, true, false, "Bob").connection, Connection::Join);
  EXPECT_EQ(startPlan(false, false, false, "Bob").connection, Connection::None);
}

// What Host or Join writes, the new copy reads back as the same request.
TEST(StartCommandLine, ParsesBackAsTheRequestAndRefusesWhatTheWireCannotCarry) {
  for (const StartRequest& r : {StartRequest{"Ann", "", true, 7772}, StartRequest{"-Bob", "games.test", false, 8000},
                                StartRequest{"--help", "10.0.0.5", false, 0},
                                StartRequest{"Jos\xC3\xA9 Ren\xC3\xA9" "e", "::1", false, 65535}}) {
    const std::vector<std::string> line = startCommandLine(r);
    const StartArgs back = parseStartArgs(line);
    EXPECT_EQ(back.action, Action::Run) << r.name;
    EXPECT_TRUE(back.newInstance && back.complete());
    EXPECT_EQ(back.port, r.port);
    EXPECT_EQ(back.hosting(), r.hosting);
    EXPECT_EQ(back.params[0], r.name);
    EXPECT_EQ(back.params[1], r.hosting ? "127.0.0.1" : r.hostAddress);
  }
  for (const StartRequest& bad :
       {StartRequest{"", "", true, 7772}, StartRequest{"A+B", "", true, 7772}, StartRequest{"A|B", "", true, 7772},
        StartRequest{"A\tB", "", true, 7772}, StartRequest{"\xC3\xBF", "", true, 7772},
        StartRequest{"\xE2\x82\xAC", "", true, 7772}, StartRequest{"A\xC3", "", true, 7772},
        StartRequest{"\xC3(", "", true, 7772}, StartRequest{"Ann", "", false, 7772},
        StartRequest{"Ann", "a host", false, 7772}, StartRequest{"Ann", "h+1", false, 7772},
        StartRequest{"Ann", "", true, 70000}}) {
    std::string why;
    EXPECT_TRUE(startCommandLine(bad, &why).empty()) << bad.name << " " << bad.hostAddress;
    EXPECT_FALSE(why.empty());
  }
}

TEST(StartArgs, HelpSaysWhereTheSettingsAndTheTallyAre) {
  const std::string help =
      startHelp("/home/ann/.config/Tilewhirl/veltrixlobby.ini", "/home/ann/.local/share/Tilewhirltally.tld");
  EXPECT_NE(help.find("/home/ann/.config/Tilewhirl/veltrixlobby.ini"), std::string::npos);
  EXPECT_NE(help.find("/home/ann/.local/share/Tilewhirltally.tld"), std::string::npos);
  EXPECT_NE(help.find("--port N"), std::string::npos);
}

}  // namespace
}  // namespace tw
