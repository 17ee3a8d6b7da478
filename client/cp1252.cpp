// Windows-1252 both ways: Latin-1 except for 0x80 to 0x9F.
#include "client/cp1252.h"

#include <array>

namespace tw {

namespace {

// 0x80 to 0x9F; 0 marks a byte the code page leaves undefined.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char encode(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return char(c);
  for (std::size_t i = 0; i < kHigh.size(); ++i)
    if (kHigh[i] != 0 && kHigh[i] == c) return char(0x80 + i);
  return '?';
}

}  // namespace

QString fromCp1252(std::string_view bytes) {
  QString out(qsizetype(bytes.size()), Qt::Uninitialized);
  QChar* to = out.data();
  for (const char b : bytes) {
    const auto u = static_cast<unsigned char>(b);
    char16_t c = u;
    if (u >= 0x80 && u < 0xA0) c = kHigh[u - 0x80] ? kHigh[u - 0x80] : u'?';
    *to++ = QChar(c);
  }
  return out;
}

std::string toCp1252(QStringView text) {
  std::string out;
  out.reserve(std::size_t(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    // A character outside the basic plane is one "?", not two.
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      out += '?';
      ++i;
      continue;
    }
    out += encode(c.unicode());
  }
  return out;
}

}  // namespace tw
