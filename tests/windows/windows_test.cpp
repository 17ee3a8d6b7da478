// The single-instance check and the spy list window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QListWidget>

#include "loopback.h"
#include "previnst.h"
#include "spy_list.h"
#include "ui_app.h"

namespace tw::test {
namespace {

QString uniqueName() {
  return QDir::temp().filePath(
      QStringLiteral("tw-instance-%1-%2")
          .arg(QCoreApplication::applicationPid())
          .arg(QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name())));
}

TEST(SingleInstance, ASecondCopyAsksTheFirstToComeForwardAndStops) {
  uiApp();
  const QString name = uniqueName();
  PREVINST first(name);
  ASSERT_TRUE(first.claim());
  int raised = 0;
  QObject::connect(&first, &PREVINST::raiseRequested, [&] { ++raised; });
  PREVINST second(name);
  EXPECT_FALSE(second.claim());
  ASSERT_TRUE(waitUntil([&] { return raised == 1; }));
}

TEST(SingleInstance, AStaleSocketLeftByACrashedCopyDoesNotBlock) {
  uiApp();
  const QString name = uniqueName();
  {
    QFile stale(name);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  }
  PREVINST copy(name);
  EXPECT_TRUE(copy.claim());
  PREVINST later(name);
  EXPECT_FALSE(later.claim());
}

TEST(SpyList, RemoveFromGameReadsTheSeatForTheHostOnly) {
  uiApp();
  Tspylist list;
  std::vector<int> kicked;
  QObject::connect(&list, &Tspylist::kickRequested, [&](int seat) { kicked.push_back(seat); });
  list.setEntries({QStringLiteral("7: Eve"), QStringLiteral("x: broken"), QStringLiteral("9: Zed")});
  list.removeFromGame(0);
  EXPECT_TRUE(kicked.empty());  // not hosting
  list.setKickEnabled(true);
  list.removeFromGame(2);
  list.removeFromGame(1);
  list.removeFromGame(-1);
  list.removeFromGame(3);
  EXPECT_EQ(kicked, std::vector<int>{9});
  EXPECT_EQ(list.findChild<QListWidget*>(QStringLiteral("listbox_spys"))->count(), 3);
}

}  // namespace
}  // namespace tw::test
