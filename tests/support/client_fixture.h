// A client session core with a recording view, manual timers and a
// scratch settings file: the fixture of the client's core tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "client/client_session.h"
#include "support/manual_timer.h"
#include "support/scratch.h"

namespace tw::test {

using Messages = std::vector<std::string>;

class FakeView final : public ClientView {
 public:
  void styleChanged(int index) override {
    if (session) styles[index] = session->style(index);
  }
  void addChatLine(const ChatLine& line) override {
    std::string text = std::to_string(line.style) + "|" + line.prefix + " ";
    for (const auto& p : line.pieces)
      text += p.kind == ChatPiece::Kind::Smiley ? "<" + std::to_string(p.image) + ">" : p.text;
    lines.push_back(text);
    last = line;
  }
  // Each change notice records what the session then shows, as the window reads it.
  void seatChanged(int seat) override {
    if (!session) return;
    const std::string& name = session->seatName(seat);
    seats[seat] = session->seatVisible(seat) ? name : "(" + name + ")";
    eyes[seat] = session->watchMark(seat);
  }
  void spiesChanged() override {
    if (!session) return;
    spies.clear();
    for (const Roster::Spy& spy : session->spies()) spies.push_back(Roster::spyEntry(spy));
  }
  void justWatchChanged() override {
    if (session) justWatch = session->justWatchChecked();
  }
  void playSound(const std::string& name) override { sounds.push_back(name); }
  void showSettings(const Settings& s) override { shown = s; }
  void showGameOptions(const GameOptions& o) override { gameOptions = o; }
  GameOptions shownGameOptions() const override { return gameOptions; }
  void setGeometry(const Geometry& g) override { geom = g; }
  Geometry geometry() const override { return geom; }
  void message(const std::string& text) override { messages.push_back(text); }
  void closeWindow() override { closed = true; }
  void gameChanged(unsigned changes) override { gameChanges |= changes; }

  const TClient* session = nullptr;  // where what changed is read
  std::map<int, TextStyle> styles;
  Messages lines;
  ChatLine last;
  std::map<int, std::string> seats;
  std::map<int, bool> eyes;
  bool justWatch = false;
  Messages spies;
  Messages sounds;
  Settings shown;
  GameOptions gameOptions;
  Geometry geom;
  Messages messages;
  bool closed = false;
  unsigned gameChanges = 0;
};

class Session : public ::testing::Test {
 protected:
  Session()
      : path(scratchPath("tw-session", ".ini").string()),
        client(
            view, ClientTimers{timer1, phrasetimer, turntime},
            [this](const std::string& b) { sent.push_back(b); }, path,
            [this](const std::string& l) { log.push_back(l); }) {
    std::filesystem::remove(path);
    client.setPlayerName("Ann");
    view.session = &client;
  }
  ~Session() override { std::filesystem::remove(path); }

  void hear(const std::string& message) {
    client.sockRead(message + '\xFF');
    for (int i = 0; i < 1000 && timer1.running(); ++i) client.Timer1Timer();
  }
  void login(int seat) {
    client.sockConnected();
    hear("CMD_sendlogininfo+" + std::to_string(seat));
    hear("CMD_newplayerinfo+" + std::to_string(seat) + "+Ann");
    sent.clear();
    view.lines.clear();
    view.sounds.clear();
  }
  std::string takeSent() {
    if (sent.empty()) return "(nothing)";
    std::string s = sent.front();
    sent.erase(sent.begin());
    if (!s.empty() && s.back() == '\xFF') s.back() = '#';
    return s;
  }

  std::string path;
  FakeView view;
  ManualTimer timer1, phrasetimer, turntime;
  Messages sent, log;
  TClient client;
};

}  // namespace tw::test
