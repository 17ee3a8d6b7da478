// Tconnect: host or join a game without the lobby program. It starts a new
// copy of the program with the player's choices, as the lobby would, and
// remembers them in the settings file.
#pragma once

#include <QStringList>
#include <functional>
#include <string>

#include "secondary_window.h"
#include "settings_store.h"

class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace tw {

class Tconnect final : public SecondaryWindow {
  Q_OBJECT

 public:
  explicit Tconnect(SettingsStore store, QWidget* parent = nullptr);

  // Starts a program detached; false when it could not. Replaceable by tests.
  std::function<bool(const QString& program, const QStringList& arguments)> startProgram;
  // The program to start: this one.
  QString program;

  // The command line the choices make: NAME HOST true|false --port N
  // --new-instance; empty with `error` set when a choice is missing.
  QStringList arguments(QString* error = nullptr) const;
  // "Start": checks, remembers and starts.
  void start();

 signals:
  // The new copy runs; this one should end.
  void closeGameRequested();

 private:
  void load();
  void hostingToggled();

  SettingsStore store_;
  QLineEdit* edit_name_ = nullptr;
  QRadioButton* radio_host_ = nullptr;
  QRadioButton* radio_join_ = nullptr;
  QLineEdit* edit_host_ = nullptr;
  QSpinBox* edit_port_ = nullptr;
  QLabel* label_error_ = nullptr;
};

}  // namespace tw
