// The settings file: INI rules, the keys' defaults and fallbacks, round trips.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "client/ini_file.h"
#include "client/settings.h"
#include "client/settings_store.h"
#include "support/full_disk.h"
#include "support/scratch.h"

namespace tw {
namespace {

TEST(IniRead, SectionAndKeyNamesIgnoreCaseAndValuesAreTrimmed) {
  const IniFile f = IniFile::parse("[tilewhirl]\r\n  textSIZE =  12  \r\nName=\"quoted value\"\r\n");
  EXPECT_EQ(f.value("Tilewhirl", "Textsize"), "12");
  EXPECT_EQ(f.value("TILEWHIRL", "name"), "quoted value");
  EXPECT_EQ(f.value("Other", "Textsize"), std::nullopt);
}

TEST(IniRead, OnlyTheFirstMatchingSectionAndKeyCount) {
  const IniFile f = IniFile::parse("[A]\nk=1\nk=2\n[B]\nk=3\n[a]\nk=4\n");
  EXPECT_EQ(f.value("a", "K"), "1");
  EXPECT_EQ(f.value("b", "k"), "3");
}

TEST(IniRead, CommentsKeysOutsideSectionsAndJunkAreNotKeys) {
  const IniFile f = IniFile::parse("k=0\n[S]\n;k=1\njunk line\n[broken\nk=2\n");
  EXPECT_EQ(f.value("S", "k"), std::nullopt);
  EXPECT_EQ(f.value("broken", "k"), "2");
}

TEST(IniRead, IntegersFallBackWhenNotNumbers) {
  const IniFile f = IniFile::parse("[S]\na=12\nb=twelve\nc=$1F\nd=\ne=12abc\nf=99999999999\n");
  EXPECT_EQ(f.readInteger("S", "a", 7), 12);
  EXPECT_EQ(f.readInteger("S", "b", 7), 7);
  EXPECT_EQ(f.readInteger("S", "c", 7), 31);
  EXPECT_EQ(f.readInteger("S", "d", 7), 7);
  EXPECT_EQ(f.readInteger("S", "e", 7), 7);
  EXPECT_EQ(f.readInteger("S", "f", 7), 7);
  EXPECT_EQ(f.readInteger("S", "missing", 7), 7);
}

TEST(IniWrite, ReplacesTheKeyLineAndKeepsEverythingElse) {
  IniFile f =
      IniFile::parse("; my notes\r\n[Other]\r\nTop=99\r\n\r\n[TILEWHIRL]\r\ntop=5\r\nPhrase1=Hi there\r\n");
  f.writeString("Tilewhirl", "Top", "7");
  EXPECT_EQ(f.text(), "; my notes\r\n[Other]\r\nTop=99\r\n\r\n[TILEWHIRL]\r\nTop=7\r\nPhrase1=Hi there\r\n");
}

TEST(IniWrite, ANewKeyGoesAfterTheSectionsLastKey) {
  IniFile f = IniFile::parse("[S]\na=1\n\n[T]\nb=2");
  f.writeString("s", "c", "3");
  EXPECT_EQ(f.text(), "[S]\na=1\nc=3\n\n[T]\nb=2");
  f.writeString("T", "d", "4");
  EXPECT_EQ(f.text(), "[S]\na=1\nc=3\n\n[T]\nb=2\nd=4");
}

TEST(IniWrite, AMissingSectionIsAddedAtTheEnd) {
  IniFile f = IniFile::parse("[S]\na=1");
  f.writeString("Tilewhirl", "Top", "3");
  EXPECT_EQ(f.text(), "[S]\na=1\n[Tilewhirl]\nTop=3\n");
  IniFile empty;
  empty.writeString("Tilewhirl", "Top", "3");
  EXPECT_EQ(empty.text(), "[Tilewhirl]\nTop=3\n");
}

TEST(IniWrite, AValueCannotBreakTheLine) {
  IniFile f;
  f.writeString("S", "k", "one\ntwo\r\n[Evil]");
  EXPECT_EQ(f.value("S", "k"), "one two  [Evil]");
  EXPECT_EQ(f.value("Evil", "k"), std::nullopt);
}

TEST(Colours, StandardNamesAndHexRoundTrip) {
  EXPECT_EQ(colourToText(0x000000), "clBlack");
  EXPECT_EQ(colourToText(0x800000), "clNavy");
  EXPECT_EQ(colourToText(0x123456), "$00123456");
  EXPECT_EQ(textToColour("clblack"), 0x000000u);
  EXPECT_EQ(textToColour("CLNAVY"), 0x800000u);
  EXPECT_EQ(textToColour("$00123456"), 0x123456u);
  EXPECT_EQ(textToColour("255"), 0x0000FFu);
  EXPECT_EQ(textToColour("clPink"), std::nullopt);
  EXPECT_EQ(textToColour(""), std::nullopt);
  EXPECT_EQ(textToColour("$80000008"), std::nullopt);
}

TEST(SettingsRead, AFileWithoutTheSectionGivesEveryDefault) {
  const Settings s = readSettings(IniFile::parse("[Other]\nTextsize=14\n"), kSettingsSection);
  EXPECT_EQ(s.textSize, 8);
  EXPECT_EQ(s.geometry, (Geometry{3, 3, 720, 535}));
  EXPECT_EQ(s.textColour, kBlack);
  EXPECT_EQ(s.playToScore, 250);
  EXPECT_EQ(s.timePerTurn, 60);
  EXPECT_FALSE(s.viewable);
  EXPECT_FALSE(s.fourPlayer);
  EXPECT_EQ(s.gameMode, 1);
  EXPECT_EQ(s.botSpeed, 750);
  EXPECT_EQ(s.computerLevel, 0);
  EXPECT_TRUE(s.playSounds);
  EXPECT_FALSE(s.clearWord);
  EXPECT_TRUE(s.seeTheirs);
  EXPECT_EQ(s.turnSound, 0);
  EXPECT_TRUE(s.chatterSounds);
  for (const auto& p : s.phrases) EXPECT_EQ(p, "");
}

TEST(SettingsRead, FlagsAreExactTextAndOddValuesFallBack) {
  Settings current;
  current.playToScore = 300;
  const Settings s = readSettings(IniFile::parse("[tilewhirl]\nPlaysounds=FALSE\nClearword=TRUE\n"
                                                 "Seetheirs=false\nGamemode=7\nBotspeed=250\n"
                                                 "Computerlevel=EXPERT\n"
                                                 "Textcolor=nonsense\nPlaytoscore=lots\nViewable=yes\n"
                                                 "Turnsound=1\nWidth=wide\nPhrase3=Yo!\n"),
                                  kSettingsSection, current);
  EXPECT_TRUE(s.playSounds);
  EXPECT_FALSE(s.clearWord);
  EXPECT_FALSE(s.seeTheirs);
  EXPECT_EQ(s.gameMode, 1);
  EXPECT_EQ(s.botSpeed, 250);
  EXPECT_EQ(s.computerLevel, 4);  // a name written before the levels between was added
  EXPECT_EQ(s.textColour, kBlack);
  EXPECT_EQ(s.playToScore, 300);
  EXPECT_TRUE(s.viewable);
  EXPECT_EQ(s.turnSound, 1);
  EXPECT_EQ(s.geometry.width, 720);
  EXPECT_EQ(s.phrases[2], "Yo!");
}

TEST(SettingsWrite, RoundTripKeepsOtherSectionsAndThePhrases) {
  IniFile f = IniFile::parse("; kept\n[Lobby]\nServer=x\n[Tilewhirl]\nPhrase1=Hello all\n");
  Settings s;
  s.textSize = 12;
  s.geometry = {10, 20, 800, 600};
  s.textColour = 0x123456;
  s.botSpeed = 750;
  s.computerLevel = 2;
  s.playSounds = false;
  s.turnSound = 1;
  s.gameMode = 3;
  writeSettings(f, kSettingsSection, s);
  const IniFile again = IniFile::parse(f.text());
  const Settings r = readSettings(again, kSettingsSection);
  EXPECT_EQ(r.textSize, 12);
  EXPECT_EQ(r.geometry, s.geometry);
  EXPECT_EQ(r.textColour, 0x123456u);
  EXPECT_EQ(again.value("Tilewhirl", "Botspeed"), "750");
  EXPECT_EQ(r.botSpeed, 750);
  EXPECT_EQ(again.value("Tilewhirl", "Computerlevel"), "club");
  EXPECT_EQ(r.computerLevel, 2);
  for (const int level : {1, 3, 4, 0}) {  // every level by its name, and back
    s.computerLevel = level;
    writeSettings(f, kSettingsSection, s);
    EXPECT_EQ(readSettings(IniFile::parse(f.text()), kSettingsSection).computerLevel, level);
  }
  EXPECT_EQ(IniFile::parse(f.text()).value("Tilewhirl", "Computerlevel"), "beginner");
  EXPECT_FALSE(r.playSounds);
  EXPECT_EQ(r.turnSound, 1);
  EXPECT_EQ(r.gameMode, 3);
  EXPECT_EQ(r.phrases[0], "Hello all");
  EXPECT_EQ(again.value("Lobby", "Server"), "x");
  EXPECT_EQ(f.text().rfind("; kept\n[Lobby]\nServer=x\n[Tilewhirl]\nPhrase1=Hello all\nTextsize=12\n", 0),
            0u);
}

TEST(SettingsPath, BesideTheExecutableUnlessThatFolderIsReadOnly) {
  namespace fs = std::filesystem;
  const fs::path root = test::scratchPath("tw-settings");
  fs::create_directories(root / "bin");
  EXPECT_EQ(settingsPath((root / "bin").string(), (root / "config").string()),
            (root / "bin" / "veltrixlobby.ini").string());
  EXPECT_TRUE(fs::is_empty(root / "bin"));
  // A folder that does not exist cannot be written.
  EXPECT_EQ(settingsPath((root / "nowhere").string(), (root / "config").string()),
            (root / "config" / "veltrixlobby.ini").string());
  EXPECT_TRUE(fs::is_directory(root / "config"));
  fs::remove_all(root);
}

TEST(SettingsFile, LoadAndSaveOnDisk) {
  namespace fs = std::filesystem;
  const fs::path path = test::scratchPath("tw-ini", ".ini");
  EXPECT_EQ(IniFile::load(path.string()).text(), "");
  IniFile f = IniFile::parse("[S]\r\nk=1\r\n");
  f.writeString("S", "j", "2");
  ASSERT_TRUE(f.save(path.string()));
  EXPECT_EQ(IniFile::load(path.string()).text(), "[S]\r\nk=1\r\nj=2\r\n");
  fs::remove(path);
}

// A file as the session, the phrases window and the host-or-join window
// wrote it reads back whole, and writing back what was read changes no byte.
TEST(SettingsStore, ReadsAndRewritesAFileOfEveryWriterByteForByte) {
  namespace fs = std::filesystem;
  const fs::path path = test::scratchPath("tw-store", ".ini");
  std::string old =
      "; mine\r\n[Lobby]\r\nServer=x\r\n[Tilewhirl]\r\nTextsize=12\r\nTop=5\r\nLeft=6\r\n"
      "Width=700\r\nHeight=500\r\nTextcolor=$00123456\r\nPlaytoscore=300\r\nTimeperturn=45\r\n"
      "Viewable=1\r\n4Player=0\r\nGamemode=3\r\nBotspeed=250\r\nOpenboard=true\r\nComputerlevel=expert\r\n"
      "Playsounds=false\r\nClearword=true\r\nSeetheirs=false\r\nTurnsound=1\r\n"
      "ChatterSounds=false\r\n";
  for (int i = 1; i <= 9; ++i)
    old += "Phrase" + std::to_string(i) + "=" + (i == 4 ? "" : "p\x80" + std::to_string(i)) + "\r\n";
  old +=
      "Joinname=Ann\r\nJoinhost=games.test\r\nJoinport=8000\r\nJoinhosting=false\r\n"
      "Lobbyaddress=http://mirror.test/setup\r\n";
  ASSERT_TRUE(IniFile::parse(old).save(path.string()));

  const SettingsStore store(path.string());
  const Settings s = store.load();
  EXPECT_EQ(s.textSize, 12);
  EXPECT_EQ(s.geometry, (Geometry{6, 5, 700, 500}));
  EXPECT_EQ(s.textColour, 0x123456u);
  EXPECT_EQ(s.botSpeed, 250);
  EXPECT_TRUE(s.openBoard);
  EXPECT_EQ(s.computerLevel, 4);
  EXPECT_EQ(s.phrases[0],
            "p\x80"
            "1");
  EXPECT_EQ(s.phrases[3], "");
  const JoinChoices join = store.loadJoin();
  EXPECT_EQ(join.name, "Ann");
  EXPECT_EQ(join.host, "games.test");
  EXPECT_EQ(join.port, 8000);
  EXPECT_FALSE(join.hosting);
  const LobbyPlaces lobby = store.loadLobby("http://maker.test/", "/opt/lobby");
  EXPECT_EQ(lobby.address, "http://mirror.test/setup");
  EXPECT_EQ(lobby.program, "/opt/lobby");

  ASSERT_TRUE(store.save(s));
  ASSERT_TRUE(store.savePhrases(s.phrases));
  ASSERT_TRUE(store.saveJoin(join));
  EXPECT_EQ(IniFile::load(path.string()).text(), old);

  // A port no socket can use reads as the game's own.
  IniFile bad = IniFile::load(path.string());
  bad.writeString("Tilewhirl", "Joinport", "70000");
  ASSERT_TRUE(bad.save(path.string()));
  EXPECT_EQ(store.loadJoin().port, kGamePort);
  fs::remove(path);
}

// A full disk, as the file size limit makes it: the save fails part way.
TEST(SettingsFile, ASaveThatFailsLeavesTheOldFileWhole) {
  namespace fs = std::filesystem;
  const fs::path dir = test::scratchPath("tw-ini-full");
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path path = dir / "veltrixlobby.ini";
  std::string old = "[Lobby]\nServer=x\n[Tilewhirl]\n";
  for (int i = 1; i <= 9; ++i)
    old += "Phrase" + std::to_string(i) + "=" + std::string(250, char('a' + i)) + "\n";
  ASSERT_TRUE(IniFile::parse(old).save(path.string()));
  ASSERT_GT(fs::file_size(path), 2048u);
  fs::permissions(path, fs::perms(0600));

  IniFile changed = IniFile::parse(old);
  changed.writeString("Tilewhirl", "Textsize", "12");
  std::string why;
  bool saved = true;
  {
    test::FullDisk full(2048);
    ASSERT_TRUE(full.ok());
    saved = changed.save(path.string(), &why);
  }
  EXPECT_FALSE(saved);
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(IniFile::load(path.string()).text(), old);
  // No half-written file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

  // A save that works replaces the file whole, keeps its permissions and a link to it.
  const fs::path link = dir / "link.ini";
  fs::create_symlink(path, link);
  ASSERT_TRUE(changed.save(link.string()));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(IniFile::load(path.string()).value("Tilewhirl", "Textsize"), "12");
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms(0600));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tw
