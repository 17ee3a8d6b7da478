// The directory's JSON and HTML answers.
#include "directory/lookup_pages.h"

namespace tw::dir {
namespace {

void utf8(std::string& out, unsigned char byte) {
  if (byte < 0x80) {
    out += char(byte);
  } else {
    out += char(0xC0 | (byte >> 6));
    out += char(0x80 | (byte & 0x3F));
  }
}

std::string json(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else if (c == '<' || c == '>' || c == '&') {
      // Keeps the JSON harmless even if someone pastes it into a page.
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      utf8(out, byte);
    }
  }
  return out + "\"";
}

std::string html(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) utf8(out, static_cast<unsigned char>(c));
    }
  }
  return out;
}

std::string gameObject(const Listing& g, std::int64_t nowMs) {
  std::string out = "{\"title\":" + json(g.title) + ",\"address\":" + json(g.address) +
                    ",\"port\":" + std::to_string(g.port) + ",\"seats\":" + std::to_string(g.state.seatsTaken) +
                    ",\"watchers\":" + std::to_string(g.state.watchers) + ",\"state\":" +
                    (g.state.playing ? "\"playing\"" : "\"open\"") +
                    ",\"level\":" + std::to_string(g.state.computerLevel) + ",\"version\":" + json(g.version);
  if (nowMs >= 0) out += ",\"age\":" + std::to_string(std::max<std::int64_t>(0, (nowMs - g.sinceMs) / 1000));
  return out + "}";
}

}  // namespace

std::string gamesJson(const std::vector<Listing>& games, std::int64_t nowMs) {
  std::string out = "{\"games\":[";
  out.reserve(games.size() * 200 + 16);
  for (std::size_t i = 0; i < games.size(); ++i) {
    if (i) out += ',';
    out += gameObject(games[i], nowMs);
  }
  return out + "]}\n";
}

std::string inviteJson(const Listing& game) {
  return "{\"code\":" + json(showCode(game.code)) + ",\"address\":" + json(game.address) +
         ",\"port\":" + std::to_string(game.port) + ",\"public\":" + (game.isPublic ? "true" : "false") +
         ",\"reachable\":" + (game.reachable ? "true" : "false") + ",\"title\":" + json(game.title) +
         ",\"version\":" + json(game.version) + "}\n";
}

std::string errorJson(const std::string& why) { return "{\"error\":" + json(why) + "}\n"; }

std::string homePage(const std::vector<Listing>& games, std::int64_t nowMs, int registrationPort) {
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Tilewhirl games</title>"
      "<style>body{font-family:sans-serif;margin:2em}td,th{padding:.2em .8em;text-align:left}</style></head>"
      "<body><h1>Tilewhirl: public games</h1>\n"
      "<p>To join, open Tilewhirl, choose Play with Others and connect to the address and port below, or type "
      "the invite code a friend gave you. Hosts list their games here with <code>tilewhirl-host --directory "
      "THIS-SERVER:" +
      std::to_string(registrationPort) + " --public</code>.</p>\n";
  if (games.empty()) return out + "<p>No public games right now.</p></body></html>\n";
  out += "<table><tr><th>Title</th><th>Address</th><th>Port</th><th>Seats</th><th>Watchers</th><th>State</th>"
         "<th>Computer</th><th>Minutes</th></tr>\n";
  for (const auto& g : games) {
    out += "<tr><td>" + html(g.title) + "</td><td>" + html(g.address) + "</td><td>" + std::to_string(g.port) +
           "</td><td>" + std::to_string(g.state.seatsTaken) + " of 6</td><td>" + std::to_string(g.state.watchers) +
           " of 3</td><td>" + (g.state.playing ? "playing" : "open") + "</td><td>" +
           (g.state.computerLevel ? "level " + std::to_string(g.state.computerLevel) : std::string("none")) +
           "</td><td>" + std::to_string(std::max<std::int64_t>(0, (nowMs - g.sinceMs) / 60000)) + "</td></tr>\n";
  }
  return out + "</table></body></html>\n";
}

}  // namespace tw::dir
