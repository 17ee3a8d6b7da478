// The one dispatch step of host and client: split a received line into its
// command and body, find the command's route, and run it. An unknown command
// and a handler stopped by anything it throws (a field that is not a number,
// a value out of range, memory) are each one log line; the next message is
// handled as usual, so nothing a peer sends ends the program.
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "net/framing.h"
#include "net/log.h"

namespace tw {

// `routes` is an array of structs with a `command` member; `run(route, body)`
// handles the message. `who` starts the log lines.
template <class Route, std::size_t N, class Run>
void dispatchLine(std::string_view line, const Route (&routes)[N], std::string_view who, const LogFn& log,
                  Run&& run) {
  const Command command = splitCommand(line);
  const Route* found = nullptr;
  for (const Route& r : routes)
    if (!command.name.empty() && r.command == command.name) {
      found = &r;
      break;
    }
  if (!found) {
    if (log) log(std::string(who) + ": unknown command ignored: " + std::string(line.substr(0, 40)));
    return;
  }
  try {
    run(*found, command.body);
  } catch (const BadNumber& e) {
    if (log) log(std::string(who) + ": " + std::string(command.name) + " stopped: " + e.what());
  } catch (const std::exception& e) {
    if (log) log(std::string(who) + ": " + std::string(command.name) + " stopped by an error: " + e.what());
  } catch (...) {
    if (log) log(std::string(who) + ": " + std::string(command.name) + " stopped by an error");
  }
}

}  // namespace tw
