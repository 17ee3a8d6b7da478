// The single-instance check, the spy list window and the code page at the
// widget edge.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QAction>
#include <QContextMenuEvent>
#include <QListWidget>
#include <QMenu>

#include "client/cp1252.h"
#include "support/loopback.h"
#include "support/ui_app.h"
#include "windows/previnst.h"
#include "windows/spy_list.h"

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
  // The seat is the host's, whatever the entry shows.
  list.setEntries({{7, QStringLiteral("7: Eve")}, {8, QStringLiteral("x: Zed")}, {9, QStringLiteral("9: Bo")}});
  list.removeFromGame(0);
  EXPECT_TRUE(kicked.empty());  // not hosting
  list.setKickEnabled(true);
  list.removeFromGame(2);
  list.removeFromGame(1);
  list.removeFromGame(-1);
  list.removeFromGame(3);
  EXPECT_EQ(kicked, (std::vector<int>{9, 8}));
  EXPECT_EQ(list.findChild<QListWidget*>(QStringLiteral("listbox_spys"))->count(), 3);
}

TEST(SpyList, RemoveFromGameRemovesTheSpectatorTheMenuWasOpenedOn) {
  uiApp();
  Tspylist list;
  list.setKickEnabled(true);
  std::vector<int> kicked;
  QObject::connect(&list, &Tspylist::kickRequested, [&](int seat) { kicked.push_back(seat); });
  auto* box = list.findChild<QListWidget*>(QStringLiteral("listbox_spys"));
  auto* remove = list.findChild<QAction*>(QStringLiteral("RemoveFromGame1"));
  auto rightClick = [&](int row) {
    const QPoint at = box->visualItemRect(box->item(row)).center();
    QContextMenuEvent menu(QContextMenuEvent::Mouse, at, box->viewport()->mapToGlobal(at));
    QApplication::sendEvent(box->viewport(), &menu);
  };
  list.show();
  list.setEntries({{7, QStringLiteral("7: Eve")}, {8, QStringLiteral("8: Zed")}});
  rightClick(1);
  // Eve leaves and Amy comes while the menu is open: Zed is still the one.
  list.setEntries({{8, QStringLiteral("8: Zed")}, {9, QStringLiteral("9: Amy")}});
  remove->trigger();
  EXPECT_EQ(kicked, std::vector<int>{8});
  rightClick(0);
  // Zed leaves and Bea takes his seat: nobody is removed.
  list.setEntries({{8, QStringLiteral("8: Bea")}, {9, QStringLiteral("9: Amy")}});
  remove->trigger();
  EXPECT_EQ(kicked, std::vector<int>{8});
  list.findChild<QMenu*>(QStringLiteral("popup_kickhim"))->close();
}

TEST(Cp1252, BothWaysAtTheWidgetEdge) {
  // Every byte 0x80..0x9F the code page defines, as Windows shows it.
  const QString high = fromCp1252(
      "\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E"
      "\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9E\x9F");
  EXPECT_EQ(high, QString::fromUtf8("€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ"));
  EXPECT_EQ(toCp1252(high),
            "\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E"
            "\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9E\x9F");
  // Undefined bytes never show as control characters.
  EXPECT_EQ(fromCp1252("\x81\x8D\x8F\x90\x9D"), QStringLiteral("?????"));
  // Latin-1 letters and ASCII pass as they are, the NUL byte included.
  const std::string latin("a\0\xA0\xE9\xFF~", 6);
  const QChar expected[] = {u'a', u'\0', u'\u00A0', u'\u00E9', u'\u00FF', u'~'};
  EXPECT_EQ(fromCp1252(latin), QString(expected, 6));
  EXPECT_EQ(toCp1252(fromCp1252(latin)), latin);
  // What the code page cannot hold is one "?" a character, outside the basic plane too.
  EXPECT_EQ(toCp1252(QString::fromUtf8("x\u0080\u0100€漢😀y")), "x??\x80??y");
  EXPECT_EQ(toCp1252(QString()), "");
}

}  // namespace
}  // namespace tw::test
