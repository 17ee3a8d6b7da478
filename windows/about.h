// Tabout: the version, the maker's web page and a picture.
#pragma once

#include <QUrl>
#include <functional>

#include "secondary_window.h"

namespace tw {

class Tabout final : public SecondaryWindow {
  Q_OBJECT

 public:
  explicit Tabout(QWidget* parent = nullptr);

  // The maker's web page, the one address the logo opens too.
  static QUrl makerPage();

  // Opens a web address; replaceable by tests.
  std::function<bool(const QUrl&)> openUrl;
};

}  // namespace tw
