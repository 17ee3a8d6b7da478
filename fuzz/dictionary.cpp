// Fuzz target: a word list image from outside (the file "English") and a key
// looked up in it; the answer is checked against a plain scan.
#include "dictionary/dictn.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

char normalised(char c) {
  if (c == '\0') return ' ';
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The record texts as lookups see them, or an empty string when the image
// would be refused.
std::string searchableTexts(const std::string& image) {
  if (image.empty() || image.size() % 15 != 0) return {};
  std::string texts;
  for (std::size_t i = 0; i < image.size(); i += 15) {
    std::string text;
    for (std::size_t k = 1; k < 15; ++k) text += normalised(image[i + k]);
    if (!texts.empty() && texts.compare(texts.size() - 14, 14, text) > 0) return {};
    texts += text;
  }
  return texts;
}

int scan(const std::string& texts, const std::string& word) {
  std::string key;
  for (char c : word.substr(0, 255)) key += normalised(c);
  const std::size_t begin = key.find_first_not_of(' ');
  if (begin == std::string::npos) return -1;
  key = key.substr(begin, key.find_last_not_of(' ') - begin + 1);
  if (key.size() > 14) return -1;
  key.resize(14, ' ');
  for (std::size_t i = 0; i < texts.size(); i += 14)
    if (texts.compare(i, 14, key) == 0) return static_cast<int>(i / 14);
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t keyLength = std::min<std::size_t>(data[0], size - 1);
  const std::string key(reinterpret_cast<const char*>(data + 1), keyLength);
  const std::string image(reinterpret_cast<const char*>(data + 1 + keyLength), size - 1 - keyLength);

  tw::TDictn dict(tw::TDictn::MemoryImage{image}, [](const std::string&) {});
  const int found = dict.FindRecord(key);
  if (dict.CheckWord(key) != (found >= 0)) __builtin_trap();
  if (dict.source() == tw::TDictn::Source::Memory) {
    const std::string texts = searchableTexts(image);
    if (texts.empty() || scan(texts, key) != found) __builtin_trap();
  } else if (!searchableTexts(image).empty()) {
    __builtin_trap();
  }
  return 0;
}
