// A command-line option that takes a number, for the programs that share the
// Qt glue: its help names its default where the text says %1.
#pragma once

#include <QCommandLineOption>
#include <QString>

namespace tw {

inline QCommandLineOption numericOption(const char* name, const char* help, qulonglong value) {
  return QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help).arg(value), QStringLiteral("N"),
                            QString::number(value));
}

}  // namespace tw
