// What the command line asks of the game window: the lobby's three
// parameters (name, host, "true" to host) and the program's own options.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct StartArgs {
  enum class Action { Run, Help, Version, Error };
  Action action = Action::Run;
  std::string error;                // Action::Error: what is wrong, for the user
  std::vector<std::string> params;  // the lobby's parameters, at most three
  int port = 0;                     // filled with the game port unless --port says otherwise
  bool newInstance = false;

  // No parameters: a solo game hosted on this copy.
  bool solo() const { return params.empty(); }
  // Only all three parameters make a connection; fewer show the loading line.
  bool complete() const { return params.size() >= 3; }
  bool hosting() const { return solo() || (complete() && params[2] == "true"); }
};

// `args` without the program's name. Only "--port N" (or "--port=N"),
// "--new-instance", "--help" and "--version" are options, and only before a
// "--"; anything else, "-Bob" too, is a parameter, and parameters after the
// third are ignored.
StartArgs parseStartArgs(const std::vector<std::string>& args);

// The --help text, with the places where this copy keeps its settings and
// its tally of games.
std::string startHelp(std::string_view settingsPath, std::string_view tallyPath);

// What the game window does once it shows, from how the program was started.
struct StartPlan {
  enum class Connection { None, Host, Join };
  Connection connection = Connection::None;
  std::string status;          // the first status line
  std::string playerName;      // as the wire carries it
  bool loopbackOnly = false;   // a solo game takes no players from elsewhere
  bool offerDownload = false;  // a solo player is offered the lobby program, where there is one
};
// `solo`: started without parameters; `complete`: with all three; `hosting`:
// the third says "true". A solo game is hosted here and played as "You".
StartPlan startPlan(bool solo, bool complete, bool hosting, std::string playerName);

// What Host or Join asks a new copy of the program to do.
struct StartRequest {
  std::string name;         // UTF-8, as the command line carries it
  std::string hostAddress;  // joining only
  bool hosting = true;
  int port = 0;
};
// The new copy's command line, which parseStartArgs reads back as the same
// request, with --new-instance; empty with `error` set when a choice is
// missing or cannot go on the wire.
std::vector<std::string> startCommandLine(const StartRequest& request, std::string* error = nullptr);

}  // namespace tw
