// Tabout: the version, the maker's web page and a picture.
#pragma once

#include <QUrl>
#include <functional>

#include "windows/secondary_window.h"

namespace tw {

class Tabout final : public SecondaryWindow {
  Q_OBJECT

 public:
  // `page`: the web page the window links to; none when empty.
  explicit Tabout(QWidget* parent = nullptr, const QUrl& page = makerPage());

  // The maker's web page as the build configures it, the one address the
  // logo opens too; empty when there is none.
  static QUrl makerPage();

  // Opens a web address; replaceable by tests.
  std::function<bool(const QUrl&)> openUrl;
};

}  // namespace tw
