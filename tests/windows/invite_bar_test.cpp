// The hosting window's invite bar says how players from outside reach the
// game, and what to do when nothing does: one case per way.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

#include "support/ui_app.h"
#include "windows/invite_bar.h"

namespace tw::test {
namespace {

struct Shown {
  Reachability::Way how;
  const char* name;
  const char* text;
};
void PrintTo(const Shown& shown, std::ostream* out) { *out << shown.name; }

class InviteBarReach : public ::testing::TestWithParam<Shown> {};

TEST_P(InviteBarReach, ShowsHowTheGameIsReached) {
  uiApp();
  QMainWindow window;
  auto* bar = new InviteBar(&window);
  window.statusBar()->addWidget(bar);
  bar->showCode(QStringLiteral("K7M-2QX"));
  bar->showReachability({Reachability::Way::Unreachable, "no answer on port 7777", "", 7777});
  const bool unreachable = GetParam().how == Reachability::Way::Unreachable;
  bar->showReachability({GetParam().how, unreachable ? "refused" : "", "", 7777});
  window.show();
  const auto* label = window.findChild<QLabel*>(QStringLiteral("label_reach"));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text().toStdString(), GetParam().text);
  EXPECT_TRUE(label->isVisible());
  EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("label_invite"))->text(), QStringLiteral("Invite code: K7M-2QX"));
}

INSTANTIATE_TEST_SUITE_P(
    EveryWay, InviteBarReach,
    ::testing::Values(Shown{Reachability::Way::Direct, "Direct", "Reachable directly"},
                      Shown{Reachability::Way::PortMapped, "PortMapped", "Reachable through your router (port opened)"},
                      Shown{Reachability::Way::Relayed, "Relayed", "Reachable through the directory's relay"},
                      Shown{Reachability::Way::Unreachable, "Unreachable",
                            "Not reachable from outside (refused). Open TCP port 7777 on your router, or play on the "
                            "local network."}),
    [](const ::testing::TestParamInfo<Shown>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tw::test
