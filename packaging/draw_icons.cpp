// tw_draw_icons: writes the app icon into a hicolor theme tree at build time,
// from the same painting code as the window's own icon.
#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QSaveFile>
#include <cstdio>

#include "windows/pictures.h"

int main(int argc, char* argv[]) {
  if (argc != 3 || QByteArray(argv[1]).startsWith('-')) {
    std::fprintf(stderr,
                 "Usage: tw_draw_icons OUTPUT_FOLDER ICON_NAME\n"
                 "Writes OUTPUT_FOLDER/hicolor/NxN/apps/ICON_NAME.png for the usual sizes and\n"
                 "OUTPUT_FOLDER/hicolor/scalable/apps/ICON_NAME.svg.\n");
    return 2;
  }
  // Drawing text needs a GUI application, but never a display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QGuiApplication app(qtArgc, argv);
  const QString root = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/hicolor/");
  const QString name = QString::fromLocal8Bit(argv[2]);

  const auto write = [](const QString& folder, const QString& file, const QByteArray& bytes) {
    QSaveFile out(folder + QLatin1Char('/') + file);
    if (!QDir().mkpath(folder) || !out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() ||
        !out.commit()) {
      std::fprintf(stderr, "tw_draw_icons: cannot write %s\n", qPrintable(out.fileName()));
      return false;
    }
    return true;
  };
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    tw::pictures::appIcon(size).save(&buffer, "PNG");
    const QString folder = root + QStringLiteral("%1x%1/apps").arg(size);
    if (!write(folder, name + QStringLiteral(".png"), png)) return 1;
  }
  if (!write(root + QStringLiteral("scalable/apps"), name + QStringLiteral(".svg"),
             tw::pictures::appIconSvg()))
    return 1;
  return 0;
}
