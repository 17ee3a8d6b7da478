// The client session core: login, roster, chat sending rules, the phrase
// limit, chatter sounds and the options it saves. No sockets, no window.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "client/web_addresses.h"
#include "support/client_fixture.h"

namespace tw::test {
namespace {

TEST_F(Session, LoginAnswersWithSeatVersionAndName) {
  client.setPlayerName("Ann+Co");
  hear("CMD_sendlogininfo+4");
  EXPECT_EQ(client.ownSeat(), 4);
  EXPECT_TRUE(client.loggedIn());
  EXPECT_EQ(takeSent(), "CMD_logininfo+4+" + std::string(kVersion) + "+Ann+Co#");
}

TEST_F(Session, Timer1DispatchesOneMessagePerTickAndStopsWhenIdle) {
  EXPECT_FALSE(timer1.running());
  client.sockRead(
      "CMD_chat+1+A chats: one|clBlack\xFF"
      "CMD_chat+1+A chats: two|clBlack\xFF"
      "CMD_ch");
  EXPECT_TRUE(timer1.running());
  EXPECT_EQ(timer1.interval(), 1);
  client.Timer1Timer();
  EXPECT_EQ(view.lines.size(), 1u);
  EXPECT_TRUE(timer1.running());
  client.Timer1Timer();
  EXPECT_EQ(view.lines.size(), 2u);
  EXPECT_FALSE(timer1.running());
}

TEST_F(Session, OwnLoginShowsConnectedLoadsSettingsAndPlaysEntered) {
  client.sockConnected();
  hear("CMD_sendlogininfo+1");
  hear("CMD_newplayerinfo+1+Ann");
  EXPECT_EQ(view.lines, (Messages{"0| You are Connected. "}));
  EXPECT_TRUE(client.settingsLoaded());
  EXPECT_EQ(view.shown.textSize, 8);
  EXPECT_EQ(view.seats[1], "Ann");
  EXPECT_EQ(view.sounds, Messages{"entered"});
}

TEST_F(Session, SpectatorsGoToTheSpyListAndLeaveIt) {
  login(7);
  EXPECT_EQ(view.spies, Messages{"7: Ann"});
  hear("CMD_existingplayers+1+Bob");
  hear("CMD_newplayerinfo+8+Eve");
  EXPECT_EQ(view.spies, (Messages{"7: Ann", "8: Eve"}));
  EXPECT_EQ(view.lines, (Messages{"0| Bob is Connected. ", "0| Eve is Connected. ", "0| Eve is spying. "}));
  view.lines.clear();
  hear("CMD_playerdisconnected+8+Eve");
  hear("CMD_playerdisconnected+9+Nobody");
  EXPECT_EQ(view.spies, Messages{"7: Ann"});
  EXPECT_EQ(view.lines, Messages{"0| Eve has left. "});
}

TEST_F(Session, ASpectatorsOwnLoginSaysConnectedAndSpying) {
  client.sockConnected();
  hear("CMD_sendlogininfo+9");
  hear("CMD_newplayerinfo+9+Ann");
  EXPECT_EQ(view.lines, (Messages{"0| You are Connected. ", "0| You are spying. "}));
}

TEST_F(Session, DisconnectsFreeTheSeatAndSeatTwoFallsBackToTheComputer) {
  login(1);
  hear("CMD_newplayerinfo+2+Bob");
  hear("CMD_newplayerinfo+3+Cid");
  hear("CMD_justwatching+3+1");
  view.lines.clear();
  hear("CMD_playerdisconnected+2+Bob");
  hear("CMD_playerdisconnected+3+Cid");
  EXPECT_EQ(view.seats[2], "Klot");
  EXPECT_EQ(view.seats[3], "<Waiting>");
  EXPECT_FALSE(view.eyes[3]);
  EXPECT_EQ(view.lines, (Messages{"0| Bob disconnected. ", "0| Cid disconnected. "}));
  // A seat already empty is not announced again.
  view.lines.clear();
  hear("CMD_playerdisconnected+2+Bob");
  hear("CMD_playerdisconnected+3+Cid");
  EXPECT_TRUE(view.lines.empty());
}

TEST_F(Session, JustWatchChangesOnlyOnTheHostsAnswer) {
  login(2);
  client.requestJustWatchToggle();
  EXPECT_EQ(takeSent(), "CMD_justwatch+2+1#");
  EXPECT_FALSE(client.justWatchChecked());
  EXPECT_FALSE(view.justWatch);
  hear("CMD_justwatching+2+1");
  EXPECT_TRUE(view.justWatch);
  EXPECT_TRUE(view.eyes[2]);
  client.requestJustWatchToggle();
  EXPECT_EQ(takeSent(), "CMD_justwatch+2+2#");
  hear("CMD_justwatching+2+2");
  EXPECT_FALSE(view.justWatch);
  EXPECT_EQ(view.lines, (Messages{"0| Ann is just watching ", "0| Ann is now playing again "}));
  hear("CMD_justwatching+8+1");
  EXPECT_EQ(view.lines.size(), 2u);
}

TEST_F(Session, RosterCommandsNeedLoginAndSeatOne) {
  client.requestJustWatchToggle();
  client.kicking(3);
  client.setJustWatch(3, true);
  EXPECT_TRUE(sent.empty());
  login(2);
  client.kicking(3);
  EXPECT_TRUE(sent.empty());
  login(1);  // seat 1 has the host's rights, wherever the host runs
  client.kicking(3);
  EXPECT_EQ(takeSent(), "CMD_kickhim+1+3+#");
  client.setJustWatch(3, true);
  EXPECT_EQ(takeSent(), "CMD_justwatch+3+1#");
  client.setJustWatch(7, true);
  EXPECT_TRUE(sent.empty());
}

// Leaving a hosted game ends it for the others; only then is the player asked.
TEST_F(Session, OthersPlayOnlyInAHostedRunningGameWithAnotherSeatConnected) {
  struct Hosted : HostedGame {
    bool running = false;
    std::set<int> connected;
    bool gameRunning() const override { return running; }
    bool seatConnected(int seat) const override { return connected.count(seat) > 0; }
  } hosted;
  login(1);
  hosted.running = true;
  hosted.connected = {1, 3};
  client.setHostedGame(&hosted);
  EXPECT_FALSE(client.othersPlaying());  // this copy joins
  client.setHosting(true);
  EXPECT_TRUE(client.othersPlaying());
  hosted.connected = {1};
  EXPECT_FALSE(client.othersPlaying());  // alone with the computer
  hosted.connected = {1, 7};
  EXPECT_FALSE(client.othersPlaying());  // a spectator plays nothing
  hosted.connected = {1, 6};
  hosted.running = false;
  EXPECT_FALSE(client.othersPlaying());
  hosted.running = true;
  client.setHostedGame(nullptr);
  EXPECT_FALSE(client.othersPlaying());
}

TEST_F(Session, TheSeatPopupIsForSeatOneOnly) {
  login(3);
  EXPECT_FALSE(client.kickMenu(2).setWatch);
  login(1);
  auto menu = client.kickMenu(2);
  EXPECT_TRUE(menu.setWatch);
  EXPECT_FALSE(menu.remove);  // "<Waiting>"
  hear("CMD_newplayerinfo+2+Bob");
  EXPECT_TRUE(client.kickMenu(2).remove);
}

TEST_F(Session, ChatAndActionSendingRules) {
  client.sockConnected();
  EXPECT_FALSE(client.sendit("early"));  // not logged in: the text stays
  EXPECT_TRUE(sent.empty());
  login(3);
  EXPECT_TRUE(client.sendit("hello+there"));
  EXPECT_EQ(takeSent(), "CMD_chat+3+hello+there|clBlack#");
  EXPECT_TRUE(client.sendit("/me"));
  EXPECT_EQ(takeSent(), "CMD_action+3+|clBlack#");
  EXPECT_TRUE(client.sendit("/meow"));
  EXPECT_EQ(takeSent(), "CMD_action+3+w|clBlack#");
  EXPECT_TRUE(client.sendit("/me waves"));
  EXPECT_EQ(takeSent(), "CMD_action+3+waves|clBlack#");
  EXPECT_TRUE(client.sendit("/help"));
  EXPECT_TRUE(client.sendit(""));
  EXPECT_TRUE(sent.empty());
  EXPECT_TRUE(client.sendit(std::string("a\xFF") + "b"));
  EXPECT_EQ(takeSent(), "CMD_chat+3+ab|clBlack#");
}

TEST_F(Session, PhraseButtonsWaitTwoSecondsAndIgnoreLogin) {
  client.phraseClick(7);
  EXPECT_EQ(takeSent(), "CMD_action+0+says: Thanks!|clBlack#");
  EXPECT_EQ(phrasetimer.interval(), 2000);
  client.phraseClick(1);
  EXPECT_TRUE(sent.empty());
  client.phrasetimerTimer();
  EXPECT_FALSE(phrasetimer.running());
  client.phraseClick(1);
  EXPECT_EQ(takeSent(), "CMD_action+0+says: Way To Go!|clBlack#");
}

TEST_F(Session, StoredPhrasesReplaceTheDefaultsAndMeIsAnAction) {
  ASSERT_TRUE(IniFile::parse("[Tilewhirl]\nPhrase2=/me bows\nPhrase3=\n").save(path));
  login(2);
  client.phraseClick(2);
  EXPECT_EQ(takeSent(), "CMD_action+2+bows|clBlack#");
  EXPECT_EQ(client.phrase(3), "Nice Try!");
}

TEST_F(Session, ReceivedChatColoursItsSeatsStyle) {
  hear("CMD_chat+3+Ann chats: hi :)#12 ok|clNavy");
  EXPECT_EQ(view.lines, Messages{"3|Ann chats:  hi  <2> ok "});
  EXPECT_EQ(view.styles[3], (TextStyle{0x800000, true, false, false, 10}));
  hear("CMD_chat+3+Ann chats: again|clGreen");
  EXPECT_EQ(view.styles[3].colour, 0x008000u);
  hear("CMD_action+2+Bob waves|nonsense");
  EXPECT_EQ(view.styles[2].colour, kRed);
  hear("CMD_action+2+Bob waves");
  EXPECT_EQ(view.styles[2].colour, kRed);
  hear("CMD_chat+x+Mal chats: broken|clBlack");
  EXPECT_EQ(view.lines.size(), 4u);
  EXPECT_EQ(log.size(), 1u);
}

TEST_F(Session, LinksAreNumberedAndOpenTheirOwnAddress) {
  hear("CMD_chat+1+A chats: www.one.org and http://two.org|clBlack");
  ASSERT_EQ(view.last.pieces.size(), 4u);
  const int one = view.last.pieces[1].link;
  const int two = view.last.pieces[3].link;
  EXPECT_EQ(client.mainchatJump(one), "http://www.one.org");
  EXPECT_EQ(client.mainchatJump(two), "http://two.org");
  EXPECT_EQ(client.mainchatJump(two + 1), std::nullopt);
}

// Links come from peers: only a web address reaches the browser, whatever
// else a link piece (one starting "http://", "https://" or "www.") holds.
TEST_F(Session, OnlyWebAddressesOpenFromTheChat) {
  const std::vector<std::pair<std::string, bool>> pieces = {
      {"HTTPS://Example.org:8080/a_b/c?q=1&r=%20#top", true},
      {"www.one.org/~ann/", true},
      {"http://[::1]:7772/", true},
      {"http://ann@example.org/", true},
      {"http://[bad", false},
      {"https://:80/", false},
      {"http:///etc/passwd", false},
      {"http://x.org/\"onmouseover=alert(1)", false},
      {"http://x.org/<script>", false},
      {"http://evil.org\\@good.org/", false},
      {"http://x.org/%zz", false},
      {"http://x.org:99999/", false},
      {"http://x.org:80x/", false},
      {"http://x.org/{a}^", false},
      {"www.\xE9vil.org", false},
      {"http://x.org/`id`", false},
  };
  for (const auto& [piece, opens] : pieces) {
    hear("CMD_chat+1+A: " + piece + "|clBlack");
    ASSERT_FALSE(view.last.pieces.empty()) << piece;
    const ChatPiece& link = view.last.pieces.back();
    ASSERT_EQ(link.kind, ChatPiece::Kind::Link) << piece;
    EXPECT_EQ(client.mainchatJump(link.link).has_value(), opens) << piece;
  }
  // Addresses that are no link piece at all open nothing either.
  for (std::string_view other : {"javascript:alert(1)", "file:///etc/passwd", "ftp://x.org/", "x.org", ""})
    EXPECT_FALSE(isWebAddress(other)) << other;
}

TEST_F(Session, ChatterSoundsFromPlayingSeatsOnly) {
  client.chatterSound(14);
  EXPECT_TRUE(sent.empty());
  login(2);
  client.chatterSound(14);
  EXPECT_EQ(takeSent(), "CMD_playasound+2+wave14+#");
  client.chatterSound(0);
  client.chatterSound(21);
  EXPECT_TRUE(sent.empty());
}

TEST_F(Session, ASpectatorCannotSendChatterSounds) {
  login(8);
  client.chatterSound(3);
  EXPECT_TRUE(sent.empty());
}

TEST_F(Session, ChatterSoundsPlayOrBecomeText) {
  login(1);
  hear("CMD_newplayerinfo+2+Bob");
  view.lines.clear();
  view.sounds.clear();
  client.setPlaySounds(false);
  hear("CMD_playasound+2+wave14+");
  EXPECT_EQ(view.sounds, Messages{"wave14"});
  client.setChatterSounds(false);
  hear("CMD_playasound+2+wave14+");
  hear("CMD_playasound+8+wave14+");
  hear("CMD_playasound+2+wave99+");
  EXPECT_EQ(view.sounds, Messages{"wave14"});
  EXPECT_EQ(view.lines, Messages{"0|Bob:  <Chatter Sound> Honk "});
}

TEST_F(Session, GameSoundsFollowPlaySounds) {
  login(1);
  client.setPlaySounds(false);
  hear("CMD_newplayerinfo+2+Bob");
  EXPECT_TRUE(view.sounds.empty());
}

TEST_F(Session, OptionsSaveAtOnceAndTextSizeRestylesEverything) {
  login(1);
  view.geom = {40, 50, 800, 600};
  client.setTextSize(12);
  EXPECT_EQ(view.styles[14].size, 12);
  const IniFile f = IniFile::load(path);
  EXPECT_EQ(f.value("Tilewhirl", "Textsize"), "12");
  EXPECT_EQ(f.value("Tilewhirl", "Left"), "40");
  EXPECT_EQ(f.value("Tilewhirl", "Botspeed"), "750");
  EXPECT_EQ(f.value("Tilewhirl", "Phrase1"), std::nullopt);
}

TEST_F(Session, NothingIsWrittenBeforeTheSettingsWereRead) {
  client.setPlaySounds(false);
  client.saveOnClose({0, 0, 1000, 1000});
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(Session, OptionsChangedBeforeTheLoginOutliveTheFile) {
  ASSERT_TRUE(
      IniFile::parse("[Tilewhirl]\nTextsize=12\nPlaysounds=true\nBotspeed=1000\nTurnsound=1\n").save(path));
  client.setPlaySounds(false);
  client.setBotSpeed(250);
  client.setTextSize(14);
  EXPECT_FALSE(view.shown.playSounds);
  login(1);
  EXPECT_FALSE(client.settings().playSounds);
  EXPECT_EQ(client.settings().botSpeed, 250);
  EXPECT_EQ(client.settings().textSize, 14);
  EXPECT_EQ(view.styles[5].size, 14);
  EXPECT_EQ(client.settings().turnSound, 1);  // untouched: the file's value
  EXPECT_EQ(view.shown.botSpeed, 250);
  // The changes are options like any other: saved at once.
  const IniFile f = IniFile::load(path);
  EXPECT_EQ(f.value("Tilewhirl", "Playsounds"), "false");
  EXPECT_EQ(f.value("Tilewhirl", "Botspeed"), "250");
  EXPECT_EQ(f.value("Tilewhirl", "Textsize"), "14");
  EXPECT_EQ(f.value("Tilewhirl", "Turnsound"), "1");
  // After the login a new change is not replayed by anything.
  client.setPlaySounds(true);
  EXPECT_EQ(IniFile::load(path).value("Tilewhirl", "Playsounds"), "true");
}

TEST_F(Session, AFailedSaveKeepsTheFileAndSaysSo) {
  // The folder of the settings file vanishes: nothing can be written there.
  TClient lost(view, ClientTimers{timer1, phrasetimer, turntime}, nullptr, path + ".d/none/veltrixlobby.ini",
               [this](const std::string& l) { log.push_back(l); });
  lost.sockConnected();
  lost.sockRead(
      "CMD_sendlogininfo+1\xFF"
      "CMD_newplayerinfo+1+Ann\xFF");
  for (int i = 0; i < 10; ++i) lost.Timer1Timer();
  view.lines.clear();
  lost.setBotSpeed(250);
  ASSERT_EQ(view.lines.size(), 1u);
  EXPECT_NE(view.lines[0].find("options were not saved"), std::string::npos);
  // New phrases still go on the buttons; the caller is told they were not saved.
  Phrases phrases;
  phrases[0] = "Hello all";
  std::string why;
  EXPECT_FALSE(lost.setPhrases(phrases, &why));
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(lost.phrase(1), "Hello all");
}

TEST_F(Session, ClosingSavesOnlyAMovedWindowShrunkToTheWorkArea) {
  ASSERT_TRUE(IniFile::parse("[Tilewhirl]\nLeft=10\nTop=20\nWidth=700\nHeight=500\n").save(path));
  login(1);
  EXPECT_EQ(view.geom, (Geometry{10, 20, 700, 500}));
  std::filesystem::remove(path);
  client.saveOnClose({0, 0, 1000, 1000});
  EXPECT_FALSE(std::filesystem::exists(path));
  view.geom = {10, 20, 1200, 500};
  client.saveOnClose({0, 0, 1000, 1000});
  EXPECT_EQ(IniFile::load(path).value("Tilewhirl", "Width"), "1185");
}

TEST_F(Session, TheGameIsFullOrTheConnectionCloses) {
  client.sockClosed();
  EXPECT_FALSE(view.closed);  // never connected: the failure line stays readable
  client.sockConnected();
  hear("CMD_full+");
  EXPECT_EQ(view.messages, Messages{"Game is full"});
  EXPECT_TRUE(view.closed);
}

TEST_F(Session, ALostGameIsRejoinedByItselfUnlessRemovedOrGone) {
  ManualTimer rejointimer;
  int dials = 0;
  client.enableRejoin(rejointimer, [&] { ++dials; });
  login(3);
  // The host's key for this seat is kept; one for another seat, or that
  // could not be a key, is not.
  const std::string key = "0123456789abcdef0123456789abcdef";
  hear("CMD_rejoinkey+3+" + key);
  hear("CMD_rejoinkey+4+ffffffffffffffffffffffffffffffff");
  hear("CMD_rejoinkey+3+bad key\x01");
  hear("CMD_rejoinkey+3+" + std::string(65, 'a'));
  hear("CMD_rejoinkey+x+");
  hear("CMD_existingplayers+5+Cy");
  hear("CMD_startgame+Bob+100+60+f+1+0+");
  EXPECT_TRUE(sent.empty());
  client.sockClosed();
  client.rejointimerTimer();
  client.sockConnected();
  hear("CMD_sendlogininfo+6");
  EXPECT_EQ(client.seatName(5), "<Waiting>");  // until the host names him again
  hear("CMD_sendlogininfo+3");
  hear("CMD_newplayerinfo+3+Ann");
  // Shown just before each login of the rejoin, as its own command.
  EXPECT_EQ(sent, (Messages{"CMD_rejoinkey+6+" + key + "\xFF", "CMD_logininfo+6+" + std::string(kVersion) + "+Ann\xFF",
                            "CMD_rejoinkey+3+" + key + "\xFF", "CMD_logininfo+3+" + std::string(kVersion) + "+Ann\xFF"}));
  EXPECT_FALSE(client.rejoining() || view.closed);

  // Lost again for good: tries wait longer each time, for two minutes, and a
  // refused try is one of them (a cut line refuses too). Then the window says
  // so and stays, with the board.
  view.lines.clear();
  client.sockClosed();
  std::vector<int> waits;
  for (; rejointimer.running(); client.rejointimerTimer()) waits.push_back(rejointimer.interval());
  EXPECT_EQ(waits, (std::vector<int>{0, 1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000}));
  EXPECT_EQ(dials, 1 + 8);
  EXPECT_EQ(view.lines[1], "0| Reconnecting, try 2 (119 s left)... ");
  EXPECT_EQ(view.messages, Messages{"Could not get back into the game."});
  EXPECT_FALSE(view.closed);

  // Why the host closed is heard though the close comes before its message
  // is handled: a removal or the game's end, no coming back at all.
  const std::string start = "CMD_startgame+Bob+100+60+f+1+0+\xFF";
  for (const std::string& last :
       {start + "CMD_hostended+\xFF", start + "CMD_winner+Bob+\xFF", start + "CMD_kicked+\xFF"}) {
    view.messages.clear();
    ManualTimer again;
    TClient other(view, ClientTimers{timer1, phrasetimer, turntime}, nullptr, path,
                  [](const std::string&) {});
    other.enableRejoin(again, [&] { ++dials; });
    dials = 0;
    other.sockConnected();
    other.sockRead(last);
    other.sockClosed();
    for (int i = 0; i < 10 && timer1.running(); ++i) other.Timer1Timer();
    for (int i = 0; i < 10 && again.running(); ++i) other.rejointimerTimer();
    EXPECT_FALSE(other.rejoining()) << last;
    EXPECT_EQ(dials, 0) << last;
    EXPECT_EQ(view.messages.size(), 1u) << last;
    EXPECT_FALSE(view.closed);
  }
  EXPECT_EQ(view.messages, Messages{"You were removed from the game."});
}

// A copy back in a running game shows it as it stands at once: the
// computer's seat, whose turn it is and the clock, and that the seat is its own.
TEST_F(Session, BackInAHeldSeatTheGameShowsAsItStands) {
  client.sockConnected();
  hear("CMD_sendlogininfo+2");
  hear("CMD_sendlogininfo+1");  // the host moves the connection to the seat it held
  hear("CMD_newplayerinfo+1+Ann");
  hear("CMD_existingplayers+3+Bob");
  hear("CMD_stats+1+100+60+2+41+Blind+0+1+12+2+31+3+7+4+0+5+0+6+0");
  EXPECT_EQ(view.lines,
            (Messages{"0| You are Connected. ", "0| You are back in your seat. ", "0| Bob is Connected. "}));
  EXPECT_EQ(view.seats[2], "Klot");
  const GameState& game = client.game().state();
  EXPECT_EQ(game.status, "Klot's turn.");
  EXPECT_EQ(game.markedSeat, 2);
  EXPECT_EQ(game.clock, "Time: 0:41");
  EXPECT_TRUE(turntime.running());
  EXPECT_EQ(game.seats[2].score, "31");

  // A newcomer in a running game is not back in any seat; an absurd time is bounded.
  view.lines.clear();
  hear("CMD_sendlogininfo+1");
  hear("CMD_newplayerinfo+1+Ann");
  hear("CMD_stats+1+100+60+3+99999+Blind+0");
  EXPECT_EQ(view.lines, Messages{"0| You are Connected. "});
  EXPECT_EQ(game.status, "Bob's turn.");
  EXPECT_EQ(game.clock, "Time: 1:00");
  hear("CMD_stats+1+100+60+1+4+Blind+0");  // his own turn, which the host passes
  EXPECT_EQ(game.status, "Waiting for the next turn.");
  EXPECT_EQ(game.markedSeat, 1);
}

TEST_F(Session, FailuresToConnectSaySoAndNameTheHost) {
  client.hostNotFound("nowhere.invalid");
  client.connectFailed("10.1.2.3", 7772, "Connection refused");
  ASSERT_EQ(view.lines.size(), 2u);
  EXPECT_NE(view.lines[0].find("nowhere.invalid"), std::string::npos);
  EXPECT_NE(view.lines[1].find("10.1.2.3"), std::string::npos);
  EXPECT_NE(view.lines[1].find("Connection refused"), std::string::npos);
}

TEST_F(Session, VersionMismatchesAreReported) {
  hear("CMD_havewrongversion+Bob");
  hear("CMD_wrongversion+");
  EXPECT_EQ(view.lines, (Messages{"0| Bob has a different version of the game than you. ",
                                  "0| You have a differnt version of the game than the host. "}));
}

TEST_F(Session, HostileInputIsBounded) {
  client.sockRead(std::string(TClient::kMaxPendingBytes + 10, 'x'));
  EXPECT_EQ(log.size(), 1u);
  std::string many;
  for (std::size_t i = 0; i < TClient::kMaxQueuedMessages + 5; ++i) many += "CMD_tie+\xFF";
  client.sockRead(many);
  client.sockRead(many);
  EXPECT_EQ(client.queued(), TClient::kMaxQueuedMessages);
  EXPECT_EQ(log.size(), 2u);  // the flood is one line, however long it lasts
  hear("CMD_newplayerinfo+99+X");
  hear("CMD_sendlogininfo+0");
  hear("garbage");
  EXPECT_FALSE(client.loggedIn());

  // Long messages fill the byte bound long before the count.
  while (client.queued() > 0) client.Timer1Timer();
  const std::string chat = "CMD_chat+2+" + std::string(TClient::kMaxPendingBytes - 20, 'x') + "\xFF";
  const std::size_t lines = log.size();
  for (int i = 0; i < 40; ++i) client.sockRead(chat);
  EXPECT_EQ(client.queued(), TClient::kMaxQueuedBytes / chat.size());
  EXPECT_EQ(log.size(), lines + 1);
}

}  // namespace
}  // namespace tw::test
