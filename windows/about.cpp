// The about window.
#include "windows/about.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "client/web_addresses.h"
#include "net/commands.h"
#include "windows/pictures.h"

namespace tw {

QUrl Tabout::makerPage() {
  const QUrl page(QString::fromLatin1(kMakerWebPage.data(), qsizetype(kMakerWebPage.size())));
  if (!isWebAddress(kMakerWebPage) || !page.isValid()) return {};
  return page;
}

Tabout::Tabout(QWidget* parent, const QUrl& page)
    : SecondaryWindow(parent, "aboutform", QStringLiteral("Tilewhirl - About")),
      openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
  auto* layout = new QGridLayout(this);
  auto* picture = new QLabel(this);
  picture->setObjectName(QStringLiteral("image_logo"));
  picture->setPixmap(pictures::logo());
  layout->addWidget(picture, 0, 0, 1, 3, Qt::AlignCenter);
  layout->addWidget(label(QStringLiteral("Version")), 1, 0);
  // Login sends the same constant as its version.
  QLabel* version = label(QString::fromLatin1(kVersion.data(), qsizetype(kVersion.size())), "version");
  layout->addWidget(version, 1, 1);
  // A build without a web page shows no link rather than one that fails.
  if (!page.isEmpty()) {
    const QString address = page.toString();
    QLabel* web = label(
        QStringLiteral("<a href=\"%1\" style=\"color: #a0d0ff\">%1</a>").arg(address.toHtmlEscaped()),
        "label_web");
    web->setTextFormat(Qt::RichText);
    web->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(web, &QLabel::linkActivated, this, [this, page] {
      if (openUrl && !openUrl(page)) tell(QStringLiteral("Cannot open Webpage"));
    });
    layout->addWidget(web, 2, 0, 1, 3, Qt::AlignCenter);
  }
  QPushButton* done = button(QStringLiteral("Done"), "button_done", true);
  connect(done, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(done, 3, 0, 1, 3, Qt::AlignRight);
  layout->setColumnStretch(2, 1);
  layout->setSpacing(10);
  resize(320, 180);
}

}  // namespace tw
