// The game's 8-bit text meets the widgets here: every byte string shown in a
// window and every text typed that goes out crosses the Windows-1252 code
// page, the one players' copies have always used.
#pragma once

#include <QString>
#include <QStringView>
#include <string>
#include <string_view>

namespace tw {

// Bytes as Windows-1252 text; the five bytes the code page leaves undefined
// show as "?".
QString fromCp1252(std::string_view bytes);
// Text as Windows-1252 bytes; a character the code page cannot hold becomes
// one "?".
std::string toCp1252(QStringView text);

}  // namespace tw
