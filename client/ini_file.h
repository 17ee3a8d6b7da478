// A settings file of the INI kind, read and written key by key the way the
// platform's private-profile functions do: section and key names compared
// without regard to case, values trimmed, and every other line of the file
// (other sections, other keys, comments, blank lines) kept as it stands.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

class IniFile {
 public:
  IniFile() = default;
  // Parses any bytes; lines that are neither a section, a key nor a comment
  // are kept and otherwise ignored.
  static IniFile parse(std::string_view text);
  // Reads the file at `path`; a missing or unreadable file reads as empty.
  static IniFile load(const std::string& path);
  // Writes the whole text to `path` through a new file renamed over the old
  // one; gives false (the old file untouched) when that fails.
  bool save(const std::string& path) const;

  std::string text() const;

  // The value of the first `key` in the first `section`, trimmed of blanks,
  // with one pair of matching quotes around it removed.
  std::optional<std::string> value(std::string_view section, std::string_view key) const;
  std::string readString(std::string_view section, std::string_view key, std::string_view fallback) const;
  // A value that is not an integer (decimal, or hexadecimal after "$" or
  // "0x") gives `fallback`.
  int readInteger(std::string_view section, std::string_view key, int fallback) const;

  // Replaces the key's line, or adds it after the section's last key, or adds
  // the section with the key at the end of the file.
  void writeString(std::string_view section, std::string_view key, std::string_view value);

 private:
  struct Found {
    std::size_t sectionLine = npos;  // the "[section]" line
    std::size_t keyLine = npos;      // the key's line
    std::size_t lastKeyLine = npos;  // the section's last key line
  };
  static constexpr std::size_t npos = std::string::npos;
  Found find(std::string_view section, std::string_view key) const;

  std::vector<std::string> lines_;
  std::string eol_ = "\n";
  bool endsWithEol_ = true;
};

// Integer text as the settings file holds it; nullopt when it is not one.
std::optional<int> parseInteger(std::string_view text);

}  // namespace tw
