// The host over real loopback sockets: what a protocol-speaking client sees.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "host/host_service.h"
#include "net/commands.h"
#include "support/host_fixture.h"
#include "support/loopback.h"
#include "support/test_words.h"

namespace tw::test {
namespace {

using Messages = std::vector<std::string>;

class Loopback : public ::testing::Test {
 protected:
  Loopback() : host([this](const std::string& l) { log.push_back(l); }) {
    qtApp();
    EXPECT_TRUE(host.listen(0));
  }
  std::unique_ptr<Peer> join(const std::string& name) { return Peer::join(host.port(), name); }
  // Every slot taken: Ann in seat 1, Bob in seat 3 among P2 ... P9 from
  // addresses of their own; Ann starts and has read the game's start.
  std::vector<std::unique_ptr<Peer>> fillEverySlotAndStart(Peer& ann) {
    std::vector<std::unique_ptr<Peer>> others;
    for (int n = 2; n <= 9; ++n)
      others.push_back(Peer::join(host.port(), n == 3 ? "Bob" : "P" + std::to_string(n),
                                  QStringLiteral("127.0.0.%1").arg(n)));
    ann.say("CMD_startgame+Ann+100+60+f+1+0+");
    EXPECT_TRUE(waitUntil([&] { return ann.find("CMD_nextplayer+1") < ann.received.size(); }));
    return others;
  }
  bool logged(const std::string& text) const {
    for (const auto& line : log)
      if (line.find(text) != std::string::npos) return true;
    return false;
  }
  std::vector<std::string> log;
  HostService host;
};

TEST_F(Loopback, SeatsLoginAndTheRosterArriveInOrder) {
  auto ann = join("Ann");
  auto bob = join("Bob");
  ASSERT_TRUE(bob->waitFor(3));
  EXPECT_EQ(bob->received,
            (Messages{"CMD_sendlogininfo+2", "CMD_newplayerinfo+2+Bob", "CMD_existingplayers+1+Ann"}));
  ASSERT_TRUE(ann->waitFor(3));
  EXPECT_EQ(ann->received[2], "CMD_newplayerinfo+2+Bob");
}

TEST_F(Loopback, TheTenthConnectionIsToldTheHostIsFullAndDropped) {
  std::vector<std::unique_ptr<Peer>> peers;
  for (int i = 1; i <= 9; ++i) {
    peers.push_back(std::make_unique<Peer>(host.port(), "", QStringLiteral("127.0.0.%1").arg(10 + i)));
    EXPECT_EQ(peers.back()->seat(), i);
  }
  Peer tenth(host.port(), "", QStringLiteral("127.0.0.20"));
  ASSERT_TRUE(waitUntil([&] { return tenth.closed; }));
  EXPECT_EQ(tenth.received, Messages{"CMD_full+"});
  spin(50);
  for (auto& p : peers) EXPECT_FALSE(p->closed);

  // A freed seat is handed out again.
  peers[4].reset();
  ASSERT_TRUE(waitUntil([&] { return !host.server().seat(5).connected; }));
  Peer again(host.port());
  EXPECT_EQ(again.seat(), 5);
}

TEST_F(Loopback, IdleSocketsFromOneAddressLeaveSeatsFreeAndARemovedAddressStaysOutUntilLetBackIn) {
  auto refused = [&](const char* from) {
    Peer peer(host.port(), "Rob", QString::fromLatin1(from));
    return waitUntil([&] { return peer.closed; }) && peer.received == Messages{"CMD_full+"};
  };
  auto ann = join("Ann");
  Peer idle(host.port(), "", QStringLiteral("127.0.0.2"));
  Peer idle2(host.port(), "", QStringLiteral("127.0.0.2"));
  EXPECT_EQ(idle.seat() + idle2.seat(), 2 + 3);
  EXPECT_TRUE(refused("127.0.0.2"));
  auto bob = Peer::join(host.port(), "Bob", QStringLiteral("127.0.0.3"));
  EXPECT_EQ(bob->seat(), 4);
  ann->say("CMD_kickhim+1+4+");
  ASSERT_TRUE(waitUntil([&] { return bob->closed; }));
  EXPECT_TRUE(refused("127.0.0.3"));  // as Rob now
  EXPECT_TRUE(logged("127.0.0.3 gets no seat for 10 minutes (Bob was removed)"));
  EXPECT_TRUE(host.server().letBackIn("127.0.0.3"));
  auto rob = Peer::join(host.port(), "Rob", QStringLiteral("127.0.0.3"));
  EXPECT_EQ(rob->seat(), 4);
  EXPECT_FALSE(ann->closed || idle.closed);
}

TEST_F(Loopback, MessagesSplitOrBatchedArriveWhole) {
  auto ann = join("Ann");
  ann->raw("CMD_chat+1+one+and|cl");
  spin(30);
  ann->raw(
      "Black\xFF"
      "CMD_chat+1+two|clBlack\xFF"
      "CMD_chat+1+three|clBlack\xFF");
  ASSERT_TRUE(ann->waitFor(5));
  EXPECT_EQ(Messages(ann->received.begin() + 2, ann->received.end()),
            (Messages{"CMD_chat+1+Ann chats: one+and|clBlack", "CMD_chat+1+Ann chats: two|clBlack",
                      "CMD_chat+1+Ann chats: three|clBlack"}));
}

TEST_F(Loopback, AKickClosesTheTargetsConnection) {
  auto ann = join("Ann");
  auto bob = join("Bob");
  ann->say("CMD_kickhim+1+2+");
  ASSERT_TRUE(waitUntil([&] { return bob->closed; }));
  ASSERT_TRUE(ann->waitFor(4));
  EXPECT_EQ(ann->received.back(), "CMD_playerdisconnected+2+Bob");
}

TEST_F(Loopback, AHostilePeerIsCutOffAndTheOthersPlayOn) {
  auto ann = join("Ann");
  auto bad = join("Mal");
  bad->raw(std::string(TServer::kMaxPendingBytes + 4096, 'x'));
  ASSERT_TRUE(waitUntil([&] { return bad->closed; }));
  ann->say("CMD_chat+1+still fine|clBlack");
  ASSERT_TRUE(waitUntil([&] { return ann->received.back() == "CMD_chat+1+Ann chats: still fine|clBlack"; }));
}

// A flooder's long name and lines are cut, its lines beyond the allowance
// come later but all come, and a queue it fills with bytes ends its connection.
TEST_F(Loopback, AFloodersNameAndLinesAreCutAndHisQueueIsBoundedInBytes) {
  auto ann = join("Ann");
  auto mal = join(std::string(65000, 'M'));
  const std::string name(TServer::kMaxNameBytes, 'M');
  ASSERT_TRUE(waitUntil([&] { return ann->find("CMD_newplayerinfo+2+") < ann->received.size(); }));
  EXPECT_EQ(ann->received[ann->find("CMD_newplayerinfo+2+")], "CMD_newplayerinfo+2+" + name);

  const std::string text(TServer::kMaxChatBytes, 't');
  std::string lines;
  for (int i = 1; i <= 8; ++i) lines += "CMD_chat+2+" + std::to_string(i) + text + "|clBlue\xFF";
  mal->raw(lines);
  Messages chat;
  ASSERT_TRUE(waitUntil([&] {
    chat.clear();
    for (const auto& m : ann->received)
      if (m.rfind("CMD_chat+2+", 0) == 0) chat.push_back(m);
    return chat.size() == 8;
  }));
  for (int i = 1; i <= 8; ++i)
    EXPECT_EQ(chat[std::size_t(i - 1)],
              "CMD_chat+2+" + name +
                  " chats: " + (std::to_string(i) + text).substr(0, TServer::kMaxChatBytes) + "|clBlue");

  auto bob = join("Bob");
  const std::string big = "CMD_chat+3+" + std::string(60000, 'x') + "|clBlack\xFF";
  std::string flood;
  for (int i = 0; i < 20; ++i) flood += big;
  bob->raw(flood);
  ASSERT_TRUE(waitUntil([&] { return bob->closed; }));
  EXPECT_TRUE(logged("seat 3: more than 262144 bytes waiting to be handled"));
  ann->say("CMD_chat+1+still fine|clBlack");
  ASSERT_TRUE(waitUntil([&] { return ann->received.back() == "CMD_chat+1+Ann chats: still fine|clBlack"; }));
}

TEST(HostListening, AHostForThisMachineOnlyListensOnLoopbackAndOthersOnEveryAddress) {
  qtApp();
  HostService solo([](const std::string&) {});
  ASSERT_TRUE(solo.listen(0, true));
  EXPECT_EQ(solo.address(), QStringLiteral("127.0.0.1"));
  EXPECT_GT(Peer(solo.port()).seat(), 0);
  HostService shared([](const std::string&) {});
  ASSERT_TRUE(shared.listen(0));
  EXPECT_NE(shared.address(), QStringLiteral("127.0.0.1"));
}

TEST_F(Loopback, AConnectionThatNeverLogsInIsClosedAtTheDeadline) {
  host.server().setLoginDeadline(300);
  auto ann = join("Ann");
  Peer idle(host.port());
  EXPECT_EQ(idle.seat(), 2);
  ASSERT_TRUE(waitUntil([&] { return idle.closed; }));
  EXPECT_TRUE(logged("seat 2: no login within 300 ms"));
  spin(400);
  EXPECT_FALSE(ann->closed);
  ann->say("CMD_chat+1+still here|clBlack");
  ASSERT_TRUE(waitUntil([&] { return ann->received.back() == "CMD_chat+1+Ann chats: still here|clBlack"; }));
  Peer next(host.port());
  EXPECT_EQ(next.seat(), 2);
}

TEST_F(Loopback, ADroppedPlayerGetsHisSeatBackOnlyFromHisOwnAddress) {
  TServer& server = host.server();
  auto ann = join("Ann");
  auto bob = join("Bob");
  auto cy = Peer::join(host.port(), "Cy", QStringLiteral("127.0.0.2"));
  ann->say("CMD_startgame+Ann+100+60+f+1+0+");
  ASSERT_TRUE(waitUntil([&] { return server.currentSeat() == 1; }));
  HostProbe::seat(server, 2).score = 37;
  std::string bar = "CMD_mytiles+2";
  for (int n = 1; n <= 7; ++n)
    bar += "+" + std::to_string(n) + "+" + std::to_string(server.seat(2).letters[n].code);

  bob.reset();  // the line drops
  ASSERT_TRUE(waitUntil([&] { return server.held(2); }));
  auto dan = join("Dan");
  auto impostor = Peer::join(host.port(), "Bob", QStringLiteral("127.0.0.2"));
  EXPECT_EQ(dan->seat(), 4);
  EXPECT_EQ(impostor->seat(), 5);

  cy->received.clear();
  bob = join("Bob");
  ASSERT_EQ(bob->seat(), 2);
  EXPECT_EQ(Messages(bob->received.begin(), bob->received.begin() + 3),
            (Messages{"CMD_sendlogininfo+6", "CMD_sendlogininfo+2", "CMD_newplayerinfo+2+Bob"}));
  ASSERT_TRUE(bob->waitFor(bob->find("CMD_theboard+") + 1));
  EXPECT_NE(bob->received[bob->find("CMD_stats+2+")].find("+2+37+3+"), std::string::npos);
  EXPECT_EQ(bob->received[bob->find("CMD_mytiles+")], bar);
  ASSERT_TRUE(cy->waitFor(1));
  EXPECT_EQ(cy->received, Messages{"CMD_newplayerinfo+2+Bob"});  // as any arrival

  // A housemate who types his name or seat 1's takes nobody's seat or rights,
  // nor does a second login on his connection.
  auto mate = join("Bob");
  auto fake = join("Ann");
  EXPECT_EQ(mate->seat(), 6);
  EXPECT_EQ(fake->seat(), 7);
  mate->say("CMD_logininfo+6+" + std::string(kVersion) + "+Ann");
  fake->say("CMD_kickhim+1+2+");
  spin(100);
  EXPECT_FALSE(bob->closed || ann->closed);
  EXPECT_EQ(server.seat(1).name, "Ann");
  EXPECT_EQ(server.seat(6).name, "Bob");

  // Bob's new line, from another network even, shows his key and wins over
  // one whose drop the host has not seen.
  ASSERT_EQ(bob->key().size(), TServer::kRejoinKeyLength);
  auto again = std::make_unique<Peer>(host.port(), "Bob", QStringLiteral("127.0.0.3"));
  again->rejoinKey = bob->key();
  ASSERT_TRUE(waitUntil([&] { return again->seat() == 2 && again->find("CMD_newplayerinfo+2+Bob") < again->received.size(); }));
  EXPECT_TRUE(waitUntil([&] { return bob->closed; }));
  EXPECT_NE(again->key(), bob->key());

  // A removed player is told so, and his seat is not held.
  ann->say("CMD_kickhim+1+2+");
  ASSERT_TRUE(waitUntil([&] { return again->closed; }));
  EXPECT_EQ(again->received.back(), "CMD_kicked+");
  EXPECT_FALSE(server.held(2));
}

TEST_F(Loopback, AHeldSeatsPlayerGetsInWhenTheOtherSlotsAreFull) {
  TServer& server = host.server();
  auto ann = join("Ann");
  auto others = fillEverySlotAndStart(*ann);
  others[1].reset();  // Bob's line drops
  ASSERT_TRUE(waitUntil([&] { return server.held(3); }));
  ASSERT_TRUE(waitUntil([&] { return ann->find("CMD_playerdisconnected+3") < ann->received.size(); }));
  ann->received.clear();

  Peer stranger(host.port(), "Eve", QStringLiteral("127.0.0.20"));
  ASSERT_TRUE(waitUntil([&] { return stranger.closed; }));
  EXPECT_EQ(stranger.received, (Messages{"CMD_sendlogininfo+3", "CMD_full+"}));
  auto bob = Peer::join(host.port(), "Bob", QStringLiteral("127.0.0.3"));
  EXPECT_EQ(bob->seat(), 3);
  ASSERT_TRUE(waitUntil([&] { return ann->received.size() >= 1; }));
  EXPECT_EQ(ann->received.front(), "CMD_newplayerinfo+3+Bob");  // the stranger was never announced
  EXPECT_FALSE(server.held(3));
}

TEST_F(Loopback, WhenEverySlotIsTakenOnlyASeatsKeyGetsInAndAnOlderClientHearsFullAtItsLogin) {
  TServer& server = host.server();
  auto ann = join("Ann");
  auto others = fillEverySlotAndStart(*ann);
  const std::string key = others[1]->key();
  ASSERT_EQ(key.size(), TServer::kRejoinKeyLength);
  ann->received.clear();

  // Long before the login deadline: a client that knows no keys, and Bob's name from his address.
  for (const auto& [name, from] : {std::pair{"Eve", "127.0.0.20"}, std::pair{"Bob", "127.0.0.3"}}) {
    Peer late(host.port(), name, QString::fromLatin1(from));
    ASSERT_TRUE(waitUntil([&] { return late.closed; }, 3000)) << name;
    EXPECT_EQ(late.received, (Messages{"CMD_sendlogininfo+6", "CMD_full+"})) << name;
  }
  EXPECT_FALSE(others[1]->closed);

  // Bob's line was cut where the host cannot see it; his new one shows the key.
  auto back = std::make_unique<Peer>(host.port(), "Bob", QStringLiteral("127.0.0.30"));
  back->rejoinKey = key;
  ASSERT_TRUE(waitUntil([&] { return back->find("CMD_newplayerinfo+3+Bob") < back->received.size(); }));
  EXPECT_EQ(back->seat(), 3);
  EXPECT_TRUE(waitUntil([&] { return others[1]->closed; }));
  ASSERT_TRUE(ann->waitFor(2));
  EXPECT_EQ(ann->received, (Messages{"CMD_playerdisconnected+3+Bob", "CMD_newplayerinfo+3+Bob"}));
  EXPECT_FALSE(server.held(3));
}

TEST_F(Loopback, APlayerRemovedOverIPv6StaysOutOverIPv4) {
  auto ann = Peer::join(host.port(), "Ann", QStringLiteral("127.0.0.2"));
  auto early = join("Bob");  // seen over IPv4 before
  early.reset();
  ASSERT_TRUE(waitUntil([&] { return !host.server().seat(2).connected; }));
  auto bob = Peer::join(host.port(), "Bob", QStringLiteral("::1"), QStringLiteral("::1"));
  ASSERT_EQ(bob->seat(), 2);
  ann->say("CMD_kickhim+1+2+");
  ASSERT_TRUE(waitUntil([&] { return bob->closed; }));

  for (const char* from : {"127.0.0.1", "::1"}) {
    const QString address = QString::fromLatin1(from);
    Peer back(host.port(), "Rob", address, address);
    EXPECT_TRUE(waitUntil([&] { return back.closed; })) << from;
    EXPECT_EQ(back.received, Messages{"CMD_full+"}) << from;
  }
  // From an address never seen, his name alone keeps him out.
  Peer renamed(host.port(), "Bob", QStringLiteral("127.0.0.4"));
  EXPECT_TRUE(waitUntil([&] { return renamed.closed; }));
  EXPECT_EQ(renamed.received.back(), "CMD_full+");
  EXPECT_EQ(host.server().bans().size(), 3u);
}

// A peer that never reads: a raw socket with a small receive buffer.
class Mute {
 public:
  explicit Mute(quint16 port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    const int size = 4096;
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~Mute() { ::close(fd_); }
  void say(const std::string& message) {
    const std::string bytes = message + '\xFF';
    EXPECT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
  }
  bool connected = false;

 private:
  int fd_;
};

TEST_F(Loopback, APeerThatNeverReadsIsDroppedAndTheOthersPlayOn) {
  // Long lines without pause, as hosts passed them before chat was limited.
  host.server().setChatLimits({60000, 1000000});
  auto ann = join("Ann");
  Mute mute(host.port());
  ASSERT_TRUE(mute.connected);
  mute.say("CMD_logininfo+2+" + std::string(kVersion) + "+Mute");
  ASSERT_TRUE(waitUntil([&] { return host.server().seat(2).name == "Mute"; }));
  auto bob = join("Bob");

  // Ann chats the longest lines the host passes; Bob reads every one.
  const std::string line = "CMD_chat+1+" + std::string(60000, 'x') + "|clBlack";
  const std::string leave = "CMD_playerdisconnected+2+Mute";
  bool told = false;
  auto tell = [&] {
    told = told || std::find(bob->received.begin(), bob->received.end(), leave) != bob->received.end();
    return told;
  };
  // Three at a time: more would pass the bound of Ann's own queue.
  for (int batch = 0; batch < 150 && !logged("seat 2: more than"); ++batch) {
    bob->received.clear();
    ann->received.clear();
    for (int i = 0; i < 3; ++i) ann->say(line);
    ASSERT_TRUE(waitUntil([&] { return bob->received.size() >= 3; })) << batch;
    tell();
  }
  ASSERT_TRUE(logged("seat 2: more than"));
  EXPECT_FALSE(host.server().seat(2).connected);
  ASSERT_TRUE(waitUntil(tell));
  ann->received.clear();

  bob->say("CMD_chat+3+still playing|clBlack");
  ASSERT_TRUE(waitUntil([&] {
    return !ann->received.empty() && ann->received.back() == "CMD_chat+3+Bob chats: still playing|clBlack";
  }));
  EXPECT_FALSE(ann->closed || bob->closed);
}

TEST_F(Loopback, AClientStartsAGameAndReceivesTheBoardAndItsTiles) {
  auto ann = join("Ann");
  ann->say("CMD_startgame+Ann+250+60+f+1+0+");
  ASSERT_TRUE(ann->waitFor(6));
  EXPECT_EQ(ann->received[2], "CMD_startgame+Ann+250+60+1+0+");
  FieldReader board(splitCommand(ann->received[3]).body);
  const auto cells = board.groups(3);
  ASSERT_EQ(cells.size(), 80u);
  EXPECT_EQ(cells.front()[0], "1");
  EXPECT_EQ(cells.back()[0], "10");
  EXPECT_EQ(cells.back()[1], "8");
  EXPECT_EQ(cells.back()[2], "0");  // face down: its letter is not told
  FieldReader tiles(splitCommand(ann->received[4]).body);
  EXPECT_EQ(tiles.next(), "1");
  EXPECT_EQ(tiles.groups(2).size(), 7u);
  EXPECT_EQ(ann->received[5], "CMD_nextplayer+1+");
}

class LoopbackGame : public ::testing::Test {
 protected:
  LoopbackGame() : host(rules(), [](const std::string&) {}) {
    qtApp();
    host.setTimeScale(500);
    EXPECT_TRUE(host.listen(0));
  }
  static HostRules rules() {
    HostRules r;
    r.checkWord = supplyLikeWordAccepted;
    r.computerWords = supplyLikeWords();
    r.seed = 3;
    return r;
  }
  static bool has(const Peer& peer, const std::string& prefix) {
    for (const auto& m : peer.received)
      if (m.rfind(prefix, 0) == 0) return true;
    return false;
  }
  // Ann takes seat 1 and starts a blind game to 100.
  static void seatAnnAndStart(Peer& ann) {
    ASSERT_EQ(ann.seat(), 1);
    ann.say("CMD_logininfo+1+" + std::string(kVersion) + "+Ann");
    ann.say("CMD_startgame+Ann+100+60+f+1+0+");
  }
  HostService host;
};

TEST_F(LoopbackGame, ASoloPlayerWatchesTheComputerPlayAndSeesTheWinner) {
  Peer ann(host.port());
  ASSERT_NO_FATAL_FAILURE(seatAnnAndStart(ann));
  ASSERT_TRUE(waitUntil([&] { return has(ann, "CMD_nextplayer+1+"); }));
  ann.say("CMD_iflip+1+1+1+");
  ann.say("CMD_hepass+1+");
  ASSERT_TRUE(waitUntil([&] { return has(ann, "CMD_nextplayer+2+"); }));
  ASSERT_TRUE(waitUntil([&] { return has(ann, "CMD_heflip+2+"); }));
  EXPECT_TRUE(has(ann, "CMD_heflip+1+1+1+f+4+"));
  EXPECT_TRUE(has(ann, "CMD_hepasses+1+"));
  // From now on the computer plays both seats.
  ann.say("CMD_justwatch+1+1");
  ASSERT_TRUE(waitUntil([&] { return has(ann, "CMD_winner+"); }, 30000));
  EXPECT_TRUE(has(ann, "CMD_hisword+"));
  EXPECT_FALSE(host.server().gameRunning());
}

// What a peer knows of the board: 0 where a letter was kept back.
using Board = std::map<std::pair<int, int>, int>;

// Replays a peer's messages into `board`. Gives the letters it learned early:
// any but a flip's own (one group just before its CMD_heflip) and those of its
// own look (just before its CMD_sneak, which leaves no letter unknown).
int earlyLetters(const Messages& got, int seat, Board& board) {
  int early = 0;
  for (std::size_t i = 0; i < got.size(); ++i) {
    const std::string next = i + 1 < got.size() ? got[i + 1] : std::string();
    const Command c = splitCommand(got[i]);
    const std::string ownLook = "CMD_sneak+" + std::to_string(seat) + "+";
    if (c.name == cmd::heflip || got[i] == ownLook) {
      EXPECT_TRUE(i > 0 && splitCommand(got[i - 1]).name == cmd::theboard) << got[i];
    }
    if (c.name != cmd::theboard) continue;
    const bool look = next == ownLook;
    FieldReader f(c.body);
    const auto groups = f.groups(3);
    for (const auto& g : groups) {
      const std::pair cell{toInt(g[0]), toInt(g[1])};
      const std::string at = "+" + std::string(g[0]) + "+" + std::string(g[1]) + "+";
      const bool flip =
          groups.size() == 1 && next.rfind("CMD_heflip+", 0) == 0 && next.find(at, 11) == next.find('+', 11);
      const int code = toInt(g[2]);
      if (code != 0 && board[cell] != code && !look && !flip) ++early;
      board[cell] = code;
    }
    for (const auto& [cell, code] : board) EXPECT_TRUE(!look || code != 0);
  }
  return early;
}

TEST_F(LoopbackGame, NoPeerLearnsALetterBeforeItsCellIsTurnedUpButTheOneWhoLooks) {
  // A blind game the computer plays for both seats; Bob comes in part-way.
  Peer ann(host.port());
  ASSERT_NO_FATAL_FAILURE(seatAnnAndStart(ann));
  ann.say("CMD_justwatch+1+1");
  ASSERT_TRUE(waitUntil([&] {
    return std::count_if(ann.received.begin(), ann.received.end(),
                         [](const std::string& m) { return m.rfind("CMD_heflip+", 0) == 0; }) >= 7;
  }));
  auto bob = Peer::join(host.port(), "Bob");
  bob->say("CMD_justwatch+2+1");
  ASSERT_TRUE(waitUntil([&] { return has(ann, "CMD_winner+"); }, 30000));
  // Then turns of a game where each player first looks at the whole board.
  ann.say("CMD_startgame+Ann+100+60+f+3+0+");
  ASSERT_TRUE(waitUntil([&] { return has(ann, "CMD_sneak+1+") && has(*bob, "CMD_sneak+2+"); }));

  const auto came = std::find(ann.received.begin(), ann.received.end(), "CMD_newplayerinfo+2+Bob");
  Board annBoard, bobBoard;
  EXPECT_EQ(earlyLetters(Messages(ann.received.begin(), came), 1, annBoard), 0);
  const auto catchUp = std::find_if(bob->received.begin(), bob->received.end(),
                                    [](const std::string& m) { return m.rfind("CMD_theboard+", 0) == 0; });
  ASSERT_NE(catchUp, bob->received.end());
  earlyLetters({*catchUp}, 2, bobBoard);
  EXPECT_EQ(bobBoard, annBoard);  // told just what Ann had been told
  EXPECT_EQ(earlyLetters(Messages(came, ann.received.end()), 1, annBoard), 0);
  EXPECT_EQ(earlyLetters(Messages(catchUp + 1, bob->received.end()), 2, bobBoard), 0);
}

TEST_F(LoopbackGame, AStrangerInTheComputersSeatDuringItsLookLearnsNoHiddenLetter) {
  host.setTimeScale(20);
  Peer ann(host.port());
  ASSERT_EQ(ann.seat(), 1);
  ann.say("CMD_logininfo+1+" + std::string(kVersion) + "+Ann");
  ann.say("CMD_startgame+Ann+100+60+f+3+0+");  // every turn begins with a look
  ASSERT_TRUE(waitUntil([&] { return has(ann, "CMD_nextplayer+1+"); }));
  ann.say("CMD_hepass+1+");
  ASSERT_TRUE(waitUntil([&] { return has(ann, "CMD_hepasses+1+"); }));
  Peer mal(host.port());
  ASSERT_EQ(mal.seat(), 2);
  ASSERT_TRUE(waitUntil([&] { return has(ann, "CMD_nextplayer+2+"); }));
  mal.say("CMD_logininfo+2+" + std::string(kVersion) + "+Mal");
  ASSERT_TRUE(waitUntil([&] { return has(mal, "CMD_theboard+"); }));
  spin(50);

  const TServer& server = host.server();
  int hidden = 0;
  int told = 0;
  for (const auto& m : mal.received) {
    if (m.rfind("CMD_theboard+", 0) != 0) continue;
    FieldReader f(splitCommand(m).body);
    for (const auto& g : f.groups(3)) {
      const BoardCell& cell = server.cell(toInt(g[0]), toInt(g[1]));
      ++told;
      if (toInt(g[2]) != 0 && toInt(g[2]) == cell.code && !cell.seen && !cell.faceUp) ++hidden;
    }
  }
  EXPECT_GE(told, 80);
  EXPECT_EQ(hidden, 0);
  EXPECT_FALSE(has(mal, "CMD_sneak+"));
}

TEST_F(Loopback, ASecondHostCannotTakeAPortInUse) {
  HostService other([](const std::string&) {});
  EXPECT_FALSE(other.listen(host.port()));
}

}  // namespace
}  // namespace tw::test
