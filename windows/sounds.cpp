// Sound playback through Qt Multimedia from the embedded WAV resources.
#include "windows/sounds.h"

#include <QAudioDevice>
#include <QDir>
#include <QFile>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace tw {

namespace {

QtMessageHandler previousHandler = nullptr;

// The audio back end complains on its own when there is no sound server;
// the one line this program writes is enough.
void quietAudioProbe(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QLatin1String("PulseAudioService")) ||
      message.contains(QLatin1String("audio device")))
    return;
  if (previousHandler) previousHandler(type, context, message);
}

bool hasAudioOutput() {
  previousHandler = qInstallMessageHandler(quietAudioProbe);
  const bool found = !QMediaDevices::defaultAudioOutput().isNull();
  qInstallMessageHandler(previousHandler);
  return found;
}

QString resourcePath(const QString& name) {
  return QStringLiteral(":/sounds/") + name.toLower() + QStringLiteral(".wav");
}

}  // namespace

Sounds::Sounds(LogFn log, QObject* parent) : QObject(parent) {
  available_ = hasAudioOutput();
  if (!available_) {
    static bool told = false;
    if (!told) log("no audio output: sounds are off");
    told = true;
    return;
  }
  const QStringList files = QDir(QStringLiteral(":/sounds")).entryList({QStringLiteral("*.wav")});
  for (const QString& file : files) {
    auto* effect = new QSoundEffect(this);
    effect->setSource(QUrl(QStringLiteral("qrc:/sounds/") + file));
    effects_.insert(file.chopped(4).toLower(), effect);
  }
}

bool Sounds::exists(const QString& name) { return QFile::exists(resourcePath(name)); }

void Sounds::play(const QString& name) {
  if (onPlay) onPlay(name);
  if (!available_) return;
  QSoundEffect* effect = effects_.value(name.toLower());
  if (!effect) return;
  if (playing_ && playing_ != effect) playing_->stop();
  playing_ = effect;
  effect->play();
}

}  // namespace tw
