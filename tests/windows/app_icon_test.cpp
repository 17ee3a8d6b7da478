// The app icon the desktop shows: drawn at every theme size, and a scalable
// copy that an SVG reader accepts.
#include <gtest/gtest.h>

#include <QImage>
#include <QXmlStreamReader>

#include "support/ui_app.h"
#include "windows/pictures.h"

namespace tw::test {
namespace {

TEST(AppIcon, IsATileAtEveryThemeSizeAndAWellFormedScalableCopy) {
  uiApp();
  for (int size : {16, 22, 48, 256, 512}) {
    const QImage icon = pictures::appIcon(size).toImage();
    ASSERT_EQ(icon.size(), QSize(size, size)) << size;
    // A rounded tile: see-through corners, a solid face.
    EXPECT_LT(qAlpha(icon.pixel(0, 0)), 64) << size;
    EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 6)), 255) << size;
  }

  QXmlStreamReader svg(pictures::appIconSvg());
  QStringList elements;
  QString letters;
  while (!svg.atEnd()) {
    svg.readNext();
    if (svg.isStartElement()) elements << svg.name().toString();
    if (svg.isStartElement() && svg.name() == QLatin1String("text")) letters += svg.readElementText();
  }
  ASSERT_FALSE(svg.hasError()) << svg.errorString().toStdString();
  ASSERT_FALSE(elements.isEmpty());
  EXPECT_EQ(elements.front(), QStringLiteral("svg"));
  EXPECT_TRUE(elements.contains(QStringLiteral("linearGradient")));
  EXPECT_EQ(letters, QStringLiteral("T1"));  // the letter and its value, as the tile shows them
}

}  // namespace
}  // namespace tw::test
