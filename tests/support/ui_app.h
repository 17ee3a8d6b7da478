// The QApplication that widget tests share; headless unless told otherwise.
#pragma once

#include <QApplication>

namespace tw::test {

inline QApplication& uiApp() {
  static int argc = 1;
  static char name[] = "tilewhirl-ui-test";
  static char* argv[] = {name, nullptr};
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Left to the end of the process: destroying it after Qt's own statics crashes.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace tw::test
