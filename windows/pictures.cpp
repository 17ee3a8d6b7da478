// The window's pictures, painted with QPainter at the device pixel ratio.
#include "windows/pictures.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QScreen>
#include <cmath>

#include "rules/game_rules.h"

namespace tw::pictures {

namespace {

qreal pixelRatio() {
  qreal ratio = 1.0;
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    for (QScreen* s : app->screens()) ratio = std::max(ratio, s->devicePixelRatio());
  return ratio;
}

QPixmap canvas(int w, int h) {
  const qreal r = pixelRatio();
  QPixmap p(int(std::ceil(w * r)), int(std::ceil(h * r)));
  p.setDevicePixelRatio(r);
  p.fill(Qt::transparent);
  return p;
}

void setup(QPainter& p) { p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing); }

QFont boldFont(int pixelSize) {
  QFont f(QStringLiteral("Sans Serif"));
  f.setBold(true);
  f.setPixelSize(pixelSize);
  return f;
}

// A tile face's colours; the scalable app icon repeats them.
const QColor kFaceLight(0xff, 0xf6, 0xdc);
const QColor kFaceDark(0xe8, 0xd2, 0x9a);
const QColor kFaceEdge(0x7a, 0x62, 0x30);
const QColor kFaceInk(0x30, 0x20, 0x10);
// The letter on the app icon's tile: T.
constexpr int kIconLetter = 20;

void drawTile(QPainter& p, int size, int code, bool faded, bool back) {
  const QRectF r(0.5, 0.5, size - 1.0, size - 1.0);
  const qreal radius = size / 8.0;
  QLinearGradient g(r.topLeft(), r.bottomRight());
  if (back) {
    g.setColorAt(0, QColor(0x2c, 0x5a, 0x9e));
    g.setColorAt(1, QColor(0x16, 0x2f, 0x5c));
  } else {
    g.setColorAt(0, faded ? QColor(0xd8, 0xd3, 0xc4) : kFaceLight);
    g.setColorAt(1, faded ? QColor(0xb4, 0xae, 0x9c) : kFaceDark);
  }
  p.setPen(QPen(back ? QColor(0x0c, 0x1c, 0x3a) : kFaceEdge, 1));
  p.setBrush(g);
  p.drawRoundedRect(r, radius, radius);
  if (back) {
    // A small whirl on the back.
    p.setPen(QPen(QColor(255, 255, 255, 90), size / 20.0));
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    const QPointF c = r.center();
    for (int i = 0; i <= 60; ++i) {
      const qreal a = i * 0.22;
      const qreal rr = size * 0.02 + i * size * 0.0055;
      const QPointF pt(c.x() + rr * std::cos(a), c.y() + rr * std::sin(a));
      i == 0 ? path.moveTo(pt) : path.lineTo(pt);
    }
    p.drawPath(path);
    return;
  }
  const QColor ink = faded ? QColor(0x80, 0x78, 0x68) : kFaceInk;
  p.setPen(ink);
  p.setFont(boldFont(int(size * 0.58)));
  p.drawText(QRectF(0, 0, size * 0.92, size * 0.98), Qt::AlignCenter, QString(QChar('A' + code - 1)));
  p.setFont(boldFont(std::max(7, int(size * 0.24))));
  p.drawText(QRectF(0, 0, size - size * 0.09, size - size * 0.05), Qt::AlignRight | Qt::AlignBottom,
             QString::number(rules::letterValue(code)));
}

}  // namespace

QPixmap letterImage(int index) {
  QPixmap pm = canvas(kTileSize, kTileSize);
  QPainter p(&pm);
  setup(p);
  if (index <= 0 || index > 53) {
    p.fillRect(QRect(0, 0, kTileSize, kTileSize), Qt::black);
  } else if (index == kTileBack) {
    drawTile(p, kTileSize, 0, false, true);
  } else if (index < kTileBack) {
    drawTile(p, kTileSize, index, false, false);
  } else {
    drawTile(p, kTileSize, index - kFadedOffset, true, false);
  }
  return pm;
}

QPixmap littleImage(int index) {
  QPixmap pm = canvas(kLittleSize, kLittleSize);
  if (index < 1 || index > 26) return pm;
  QPainter p(&pm);
  setup(p);
  drawTile(p, kLittleSize, index, false, false);
  return pm;
}

QPixmap smiley(int index) {
  QPixmap pm = canvas(17, 16);
  QPainter p(&pm);
  setup(p);
  // Face colour, then eyes and mouth by expression.
  static const QColor faces[18] = {
      QColor(0xff, 0xd8, 0x30), QColor(0xff, 0xd8, 0x30), QColor(0xff, 0xd8, 0x30), QColor(0x9c, 0xc8, 0xff),
      QColor(0xff, 0xd8, 0x30), QColor(0xff, 0xd8, 0x30), QColor(0xff, 0xd8, 0x30), QColor(0xff, 0x60, 0x40),
      QColor(0xff, 0xd8, 0x30), QColor(0xe8, 0xe0, 0xa0), QColor(0xff, 0xb0, 0xc0), QColor(0x9c, 0xc8, 0xff),
      QColor(0xc8, 0xe0, 0x80), QColor(0xd0, 0xd0, 0xd0), QColor(0xd0, 0x30, 0x30), QColor(0xff, 0xf0, 0xa0),
      QColor(0xff, 0x90, 0xb0), QColor(0xff, 0xa0, 0x80)};
  const int i = index < 0 || index >= 18 ? 0 : index;
  const QRectF face(1, 0.5, 15, 15);
  p.setPen(QPen(QColor(0x60, 0x40, 0x00), 0.8));
  p.setBrush(faces[i]);
  p.drawEllipse(face);
  const QColor ink(0x30, 0x20, 0x00);
  p.setPen(QPen(ink, 1.2, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(ink);
  auto dotEyes = [&] {
    p.drawEllipse(QPointF(6, 6), 1.0, 1.3);
    p.drawEllipse(QPointF(11, 6), 1.0, 1.3);
  };
  auto mouth = [&](qreal startDeg, qreal spanDeg, qreal top) {
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(5, top, 7, 5), int(startDeg * 16), int(spanDeg * 16));
    p.setBrush(ink);
  };
  switch (i) {
    case 0:
      dotEyes();
      mouth(200, 140, 6);
      break;  // smile
    case 1:
      dotEyes();
      p.setBrush(Qt::white);
      p.drawChord(QRectF(4.5, 6, 8, 6), 180 * 16, 180 * 16);
      break;  // grin
    case 2:
      p.drawEllipse(QPointF(6, 6), 1.0, 1.3);
      p.drawLine(QPointF(10, 6), QPointF(12, 6));
      mouth(200, 140, 6);
      break;  // wink
    case 3:
      dotEyes();
      mouth(20, 140, 10);
      break;  // sad
    case 4:
      dotEyes();
      mouth(200, 140, 6);
      p.setBrush(QColor(0xe0, 0x50, 0x60));
      p.drawEllipse(QRectF(8, 10, 3, 3));
      break;  // tongue
    case 5:
      dotEyes();
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(8.5, 11), 1.6, 2);
      break;  // surprised
    case 6:
      p.drawRect(QRectF(4, 5, 4, 2.5));
      p.drawRect(QRectF(9, 5, 4, 2.5));
      mouth(200, 140, 6);
      break;  // cool
    case 7:
      p.drawLine(QPointF(4.5, 4), QPointF(7, 5.5));
      p.drawLine(QPointF(12.5, 4), QPointF(10, 5.5));
      dotEyes();
      mouth(20, 140, 10);
      break;  // angry
    case 8:
      p.drawLine(QPointF(5, 6), QPointF(7, 5));
      p.drawLine(QPointF(10, 5), QPointF(12, 6));
      p.setBrush(Qt::white);
      p.drawChord(QRectF(4.5, 6.5, 8, 6), 180 * 16, 180 * 16);
      break;  // laugh
    case 9:
      dotEyes();
      p.drawLine(QPointF(5.5, 11), QPointF(11.5, 11));
      break;  // neutral
    case 10:
      dotEyes();
      p.setBrush(QColor(0xd0, 0x20, 0x40));
      p.drawEllipse(QPointF(8.5, 11), 1.5, 1.2);
      break;  // kiss
    case 11:
      dotEyes();
      mouth(20, 140, 10);
      p.setPen(QPen(QColor(0x30, 0x80, 0xff), 1.2));
      p.drawLine(QPointF(5.5, 8), QPointF(5.5, 11));
      break;  // crying
    case 12:
      dotEyes();
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(5, 9, 3.5, 3), 0, 180 * 16);
      p.drawArc(QRectF(8.5, 10, 3.5, 3), 180 * 16, 180 * 16);
      break;  // confused
    case 13:
      p.drawLine(QPointF(4.5, 6.5), QPointF(7, 6.5));
      p.drawLine(QPointF(10, 6.5), QPointF(12.5, 6.5));
      p.drawLine(QPointF(7, 11), QPointF(10, 11));
      break;  // sleepy
    case 14:
      dotEyes();
      mouth(200, 140, 6);
      p.setBrush(QColor(0x90, 0x10, 0x10));
      p.drawPolygon(QPolygonF({QPointF(2, 0), QPointF(5, 2.5), QPointF(3, 4)}));
      p.drawPolygon(QPolygonF({QPointF(15, 0), QPointF(12, 2.5), QPointF(14, 4)}));
      break;  // devil
    case 15:
      dotEyes();
      mouth(200, 140, 6);
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(QColor(0xe0, 0xb0, 0x00), 1));
      p.drawEllipse(QRectF(4, 0, 9, 2.4));
      break;  // angel
    case 16:
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0xd0, 0x10, 0x30));
      for (qreal x : {6.0, 11.0}) {
        p.drawEllipse(QPointF(x - 0.8, 5.5), 1.2, 1.2);
        p.drawEllipse(QPointF(x + 0.8, 5.5), 1.2, 1.2);
        p.drawPolygon(QPolygonF({QPointF(x - 2, 6), QPointF(x + 2, 6), QPointF(x, 8.5)}));
      }
      p.setPen(QPen(ink, 1.2));
      mouth(200, 140, 6);
      break;  // love
    default:
      dotEyes();
      mouth(200, 140, 7);
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0xff, 0x40, 0x40, 120));
      p.drawEllipse(QPointF(4, 9.5), 1.8, 1.2);
      p.drawEllipse(QPointF(13, 9.5), 1.8, 1.2);
      break;  // blush
  }
  return pm;
}

QPixmap eyes() {
  QPixmap pm = canvas(18, 15);
  QPainter p(&pm);
  setup(p);
  for (qreal x : {4.5, 13.5}) {
    p.setPen(QPen(Qt::black, 0.8));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(x, 7.5), 4, 6);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(x + 1, 9), 1.8, 2.4);
  }
  return pm;
}

QPixmap bonusMarker() {
  QPixmap pm = canvas(16, 13);
  QPainter p(&pm);
  setup(p);
  p.setPen(QPen(QColor(0x80, 0x10, 0x10), 0.8));
  p.setBrush(QColor(0xe0, 0x30, 0x30));
  p.drawRoundedRect(QRectF(0.5, 0.5, 15, 12), 3, 3);
  p.setPen(Qt::white);
  p.setFont(boldFont(9));
  p.drawText(QRectF(0, 0, 16, 13), Qt::AlignCenter, QStringLiteral("x2"));
  return pm;
}

QPixmap turnMarker() {
  QPixmap pm = canvas(234, 22);
  QPainter p(&pm);
  setup(p);
  QLinearGradient g(0, 0, 234, 0);
  g.setColorAt(0, QColor(255, 240, 140, 230));
  g.setColorAt(1, QColor(255, 240, 140, 40));
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawRoundedRect(QRectF(0, 0, 234, 22), 6, 6);
  return pm;
}

QPixmap slotFrame() {
  QPixmap pm = canvas(43, 43);
  QPainter p(&pm);
  setup(p);
  p.fillRect(QRectF(0, 0, 43, 43), QColor(0x1a, 0x30, 0x50));
  p.setPen(QPen(QColor(0x50, 0x70, 0xa0), 1));
  for (int d = -43; d < 43; d += 5) p.drawLine(QPointF(d, 43), QPointF(d + 43, 0));
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x90, 0xb0, 0xe0), 1));
  p.drawRect(QRectF(0.5, 0.5, 42, 42));
  return pm;
}

QPixmap timeBar(int width) {
  width = std::clamp(width, 1, 225);
  QPixmap pm = canvas(width, 19);
  QPainter p(&pm);
  QLinearGradient g(0, 0, 0, 19);
  g.setColorAt(0, QColor(0x60, 0xd0, 0x60));
  g.setColorAt(1, QColor(0x20, 0x80, 0x20));
  p.fillRect(QRectF(0, 0, width, 19), g);
  return pm;
}

QPixmap notPlaying() {
  QPixmap pm = canvas(234, 20);
  QPainter p(&pm);
  setup(p);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x40, 0x40, 0x40, 210));
  p.drawRoundedRect(QRectF(0, 0, 234, 20), 4, 4);
  p.setPen(QColor(0xff, 0x80, 0x80));
  p.setFont(boldFont(12));
  p.drawText(QRectF(0, 0, 234, 20), Qt::AlignCenter, QStringLiteral("NOT PLAYING"));
  return pm;
}

QPixmap logo() {
  QPixmap pm = canvas(153, 30);
  QPainter p(&pm);
  setup(p);
  QFont f(QStringLiteral("Sans Serif"));
  f.setBold(true);
  f.setItalic(true);
  f.setPixelSize(24);
  p.setFont(f);
  p.setPen(QColor(0, 0, 0, 120));
  p.drawText(QRectF(2, 2, 153, 30), Qt::AlignCenter, QStringLiteral("Tilewhirl"));
  QLinearGradient g(0, 0, 0, 30);
  g.setColorAt(0, QColor(0xff, 0xe8, 0x80));
  g.setColorAt(1, QColor(0xf0, 0x90, 0x20));
  p.setPen(QPen(QBrush(g), 1));
  p.drawText(QRectF(0, 0, 153, 30), Qt::AlignCenter, QStringLiteral("Tilewhirl"));
  return pm;
}

QPixmap checkBox(bool checked) {
  QPixmap pm = canvas(13, 13);
  QPainter p(&pm);
  setup(p);
  p.setPen(QPen(QColor(0x20, 0x30, 0x50), 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(0.5, 0.5, 12, 12));
  if (checked) {
    p.setPen(QPen(QColor(0x10, 0x80, 0x10), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(3, 6.5), QPointF(5.5, 9.5), QPointF(10, 3.5)}));
  }
  return pm;
}

QPixmap background(int width, int height) {
  QPixmap pm = canvas(width, height);
  QPainter p(&pm);
  setup(p);
  QLinearGradient g(0, 0, width, height);
  g.setColorAt(0, QColor(0x1c, 0x3c, 0x6c));
  g.setColorAt(1, QColor(0x0c, 0x1a, 0x34));
  p.fillRect(QRectF(0, 0, width, height), g);
  QRadialGradient glow(QPointF(width * 0.3, height * 0.4), width * 0.6);
  glow.setColorAt(0, QColor(255, 255, 255, 28));
  glow.setColorAt(1, QColor(255, 255, 255, 0));
  p.fillRect(QRectF(0, 0, width, height), glow);
  return pm;
}

QPixmap appIcon(int size) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  setup(p);
  p.scale(qreal(size) / kTileSize, qreal(size) / kTileSize);
  drawTile(p, kTileSize, kIconLetter, false, false);
  return pm;
}

// The same tile as drawTile paints, in the tile's own units, so that it scales
// without a raster step (the desktop's scalable icon).
QByteArray appIconSvg() {
  const qreal s = kTileSize;
  const auto num = [](qreal v) { return QByteArray::number(v, 'g', 4); };
  const auto rgb = [](const QColor& c) { return c.name().toLatin1(); };
  const int letterPx = int(s * 0.58);
  const int valuePx = std::max(7, int(s * 0.24));
  QByteArray svg;
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(s) + "\" height=\"" + num(s) +
         "\" viewBox=\"0 0 " + num(s) + " " + num(s) + "\">\n";
  svg += "  <defs><linearGradient id=\"face\" gradientUnits=\"userSpaceOnUse\" x1=\"0.5\" y1=\"0.5\" x2=\"" +
         num(s - 0.5) + "\" y2=\"" + num(s - 0.5) + "\"><stop offset=\"0\" stop-color=\"" + rgb(kFaceLight) +
         "\"/><stop offset=\"1\" stop-color=\"" + rgb(kFaceDark) + "\"/></linearGradient></defs>\n";
  svg += "  <rect x=\"0.5\" y=\"0.5\" width=\"" + num(s - 1) + "\" height=\"" + num(s - 1) + "\" rx=\"" +
         num(s / 8) + "\" fill=\"url(#face)\" stroke=\"" + rgb(kFaceEdge) + "\" stroke-width=\"1\"/>\n";
  svg +=
      "  <g fill=\"" + rgb(kFaceInk) + "\" font-family=\"DejaVu Sans, sans-serif\" font-weight=\"bold\">\n";
  svg += "    <text x=\"" + num(s * 0.46) + "\" y=\"" + num(s * 0.49 + letterPx * 0.36) + "\" font-size=\"" +
         num(letterPx) + "\" text-anchor=\"middle\">" + QByteArray(1, char('A' + kIconLetter - 1)) +
         "</text>\n";
  svg += "    <text x=\"" + num(s * 0.91) + "\" y=\"" + num(s * 0.95 - valuePx * 0.24) + "\" font-size=\"" +
         num(valuePx) + "\" text-anchor=\"end\">" + QByteArray::number(rules::letterValue(kIconLetter)) +
         "</text>\n";
  svg += "  </g>\n</svg>\n";
  return svg;
}

}  // namespace tw::pictures
