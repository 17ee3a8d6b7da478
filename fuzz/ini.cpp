// Fuzzes the settings file reader and writer with arbitrary file contents:
// nothing may crash, and a written key must read back as written.
#include <cstddef>
#include <cstdint>
#include <string>

#include "client/ini_file.h"
#include "client/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  tw::IniFile file = tw::IniFile::parse(text);
  const tw::Settings settings = tw::readSettings(file, tw::kSettingsSection);
  (void)tw::textToColour(text);
  (void)tw::parseInteger(text);

  // Whatever was there, the other content survives and the written values win.
  tw::writeSettings(file, tw::kSettingsSection, settings);
  file.writeString(tw::kSettingsSection, "Phrase1", "kept");
  const tw::IniFile again = tw::IniFile::parse(file.text());
  if (again.value(tw::kSettingsSection, "Phrase1") != "kept") __builtin_trap();
  if (again.readInteger(tw::kSettingsSection, "Textsize", -1) != settings.textSize) __builtin_trap();
  return 0;
}
