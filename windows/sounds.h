// The game and chatter sounds carried in the program, played asynchronously.
// Without an audio output nothing plays and one line says so.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>

#include "net/log.h"

class QSoundEffect;

namespace tw {

class Sounds : public QObject {
  Q_OBJECT

 public:
  explicit Sounds(LogFn log = logLine, QObject* parent = nullptr);

  // Plays the named sound (names ignore case); a new sound replaces one
  // still playing. Unknown names play nothing.
  void play(const QString& name);
  bool available() const { return available_; }
  static bool exists(const QString& name);

  // Told of every sound asked for, played or not (tests listen here).
  std::function<void(const QString& name)> onPlay;

 private:
  bool available_ = false;
  QHash<QString, QSoundEffect*> effects_;
  QSoundEffect* playing_ = nullptr;
};

}  // namespace tw
