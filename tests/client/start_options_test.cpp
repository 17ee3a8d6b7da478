// The game window's command line: the lobby's parameters and the program's
// own options, and nothing else taken as an option.
#include <gtest/gtest.h>

#include "start_options.h"

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

TEST(StartArgs, HelpSaysWhereTheSettingsAndTheTallyAre) {
  const std::string help =
      startHelp("/home/ann/.config/Tilewhirl/veltrixlobby.ini", "/home/ann/.local/share/Tilewhirltally.tld");
  EXPECT_NE(help.find("/home/ann/.config/Tilewhirl/veltrixlobby.ini"), std::string::npos);
  EXPECT_NE(help.find("/home/ann/.local/share/Tilewhirltally.tld"), std::string::npos);
  EXPECT_NE(help.find("--port N"), std::string::npos);
}

}  // namespace
}  // namespace tw
