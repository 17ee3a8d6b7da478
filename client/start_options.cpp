// The game window's command line, read without any toolkit so that it can be
// tested as a plain function.
#include "client/start_options.h"

#include <charconv>

#include "net/commands.h"

namespace tw {

namespace {

constexpr std::size_t kParamCount = 3;

bool readPort(std::string_view text, int& port) {
  int value = -1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 0 || value > 65535)
    return false;
  port = value;
  return true;
}

// Every character fits one byte of the wire and is none of its separators:
// UTF-8 text of code points 0x20 to 0xFE, without '+' or '|'.
bool fitsTheWire(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (c < 0x20 || c == '+' || c == '|') return false;
      continue;
    }
    // Two bytes from 0xC2 0x80 to 0xC3 0xBE are U+0080 to U+00FE; anything else is
    // a character the wire cannot carry, or no UTF-8 at all.
    if ((c != 0xC2 && c != 0xC3) || i + 1 == text.size()) return false;
    const auto next = static_cast<unsigned char>(text[++i]);
    if ((next & 0xC0) != 0x80 || (c == 0xC3 && next == 0xBF)) return false;
  }
  return true;
}

}  // namespace

StartPlan startPlan(bool solo, bool complete, bool hosting, std::string playerName) {
  StartPlan plan;
  if (solo) {
    plan.connection = StartPlan::Connection::Host;
    plan.status = "Loading Solo Game..Please wait.";
    plan.playerName = "You";
    plan.loopbackOnly = true;
    plan.offerDownload = true;
    return plan;
  }
  plan.status = "Loading Multi-player Game.. Please Wait.";
  if (!complete) return plan;
  plan.connection = hosting ? StartPlan::Connection::Host : StartPlan::Connection::Join;
  plan.playerName = std::move(playerName);
  return plan;
}

std::vector<std::string> startCommandLine(const StartRequest& request, std::string* error) {
  const auto fail = [&](std::string why) {
    if (error) *error = std::move(why);
    return std::vector<std::string>();
  };
  if (request.name.empty()) return fail("Please enter your name.");
  if (!fitsTheWire(request.name)) return fail("A name cannot hold \"+\", \"|\" or unusual characters.");
  if (!request.hosting && request.hostAddress.empty()) return fail("Please enter the host's address.");
  if (!request.hosting &&
      (!fitsTheWire(request.hostAddress) || request.hostAddress.find(' ') != std::string::npos))
    return fail("The host's address is not valid.");
  if (request.port < 0 || request.port > 65535) return fail("The port is not valid.");
  // "--" keeps a name that starts with "-" from reading as an option.
  return {"--port",
          std::to_string(request.port),
          "--new-instance",
          "--",
          request.name,
          request.hosting ? "127.0.0.1" : request.hostAddress,
          request.hosting ? "true" : "false"};
}

StartArgs parseStartArgs(const std::vector<std::string>& args) {
  StartArgs out;
  out.port = kGamePort;
  bool help = false, version = false, optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (optionsEnded) {
      if (out.params.size() < kParamCount) out.params.emplace_back(arg);
    } else if (arg == "--") {
      // Whatever follows is a parameter: a name may be "--help".
      optionsEnded = true;
    } else if (arg == "--help") {
      help = true;
    } else if (arg == "--version") {
      version = true;
    } else if (arg == "--new-instance") {
      out.newInstance = true;
    } else if (arg == "--port" || arg.substr(0, 7) == "--port=") {
      std::string_view value;
      if (arg == "--port") {
        if (i + 1 == args.size()) {
          out.action = StartArgs::Action::Error;
          out.error = "--port needs a number from 0 to 65535";
          continue;
        }
        value = args[++i];
      } else {
        value = arg.substr(7);
      }
      if (!readPort(value, out.port)) {
        out.action = StartArgs::Action::Error;
        out.error = "--port needs a number from 0 to 65535, not \"" + std::string(value) + "\"";
      }
    } else if (out.params.size() < kParamCount) {
      out.params.emplace_back(arg);
    }
  }
  // Asking for help always gets it, even beside a mistake.
  if (help)
    out.action = StartArgs::Action::Help;
  else if (version && out.action != StartArgs::Action::Error)
    out.action = StartArgs::Action::Version;
  return out;
}

std::string startHelp(std::string_view settingsPath, std::string_view tallyPath) {
  return "Usage: tilewhirl [options] [NAME HOST HOSTING]\n"
         "Tilewhirl, a word game for up to six players.\n\n"
         "Without parameters: a solo game hosted on this copy, played as \"You\".\n"
         "With parameters: NAME HOST HOSTING, where HOSTING \"true\" hosts the game on\n"
         "this copy (HOST is then not used) and anything else joins the game at HOST.\n"
         "With fewer than three parameters the window shows its loading line and\n"
         "connects nowhere; parameters after the third are ignored. A parameter that\n"
         "begins with \"-\" is still a parameter (\"-Bob\" is a name), and everything\n"
         "after \"--\" is one (\"-- --help HOST true\" hosts as \"--help\").\n\n"
         "Options:\n"
         "  --port N         TCP port to host or join on (default " +
         std::to_string(kGamePort) +
         ").\n"
         "  --new-instance   Start even when a copy already runs (tests, or two copies\n"
         "                   side by side).\n"
         "  --help           Show this text.\n"
         "  --version        Show the version.\n\n"
         "Settings file: " +
         std::string(settingsPath) + "\nTally of games: " + std::string(tallyPath) +
         "\n(beside the program when its folder can be written, else in your own folders;\n"
         "downloads go to the program's folder or your download folder)\n";
}

}  // namespace tw
