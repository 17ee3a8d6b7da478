// Tconnect: host or join a game without the lobby program. It starts a new
// copy of the program with the player's choices, as the lobby would, and
// remembers them in the settings file. While it is shown it lists the games
// on this network and, when a game directory is set, its public games;
// picking one joins it, as does an invite code the directory knows.
#pragma once

#include <QStringList>
#include <functional>
#include <memory>
#include <string>

#include "client/settings_store.h"
#include "windows/secondary_window.h"

class QCheckBox;
class QHBoxLayout;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class QTimer;

namespace tw {

class DirectoryLookup;
class LanBrowser;
struct PublicGame;

class Tconnect final : public SecondaryWindow {
  Q_OBJECT

 public:
  explicit Tconnect(SettingsStore store, QWidget* parent = nullptr);
  ~Tconnect() override;

  // Starts a program detached; false when it could not. Replaceable by tests.
  std::function<bool(const QString& program, const QStringList& arguments)> startProgram;
  // The program to start: this one.
  QString program;

  // The command line the choices make: NAME HOST true|false --port N
  // --new-instance; empty with `error` set when a choice is missing.
  QStringList arguments(QString* error = nullptr) const;
  // "Start": checks, remembers and starts.
  void start();
  // Joins the game picked in the list "On this network"; a full one is
  // offered for watching first.
  void joinListed();
  // Joins the game picked in the list "Public games", a full one offered
  // for watching first, as above.
  void joinPublic();
  // Looks the typed invite code up at the game directory and joins its game.
  void joinByCode();
  // The lists of games found, side by side.
  QHBoxLayout* lists() const { return lists_; }

 signals:
  // The new copy runs; this one should end.
  void closeGameRequested();

 private:
  void load();
  void hostingToggled();
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showLanGames();
  void showPublicGames(const std::vector<PublicGame>& games, const QString& problem);
  void joinAt(const QString& address, int port);
  void joinPicked(const QTableWidget& table);

  SettingsStore store_;
  QLineEdit* edit_name_ = nullptr;
  QRadioButton* radio_host_ = nullptr;
  QRadioButton* radio_join_ = nullptr;
  QLineEdit* edit_host_ = nullptr;
  QSpinBox* edit_port_ = nullptr;
  QLabel* label_error_ = nullptr;
  QCheckBox* check_announce_ = nullptr;
  QRadioButton* radio_network_ = nullptr;
  QRadioButton* radio_invite_ = nullptr;
  QRadioButton* radio_public_ = nullptr;
  QHBoxLayout* lists_ = nullptr;
  QTableWidget* table_lan_ = nullptr;
  QLabel* label_lan_ = nullptr;
  std::unique_ptr<LanBrowser> lan_;
  QLineEdit* edit_code_ = nullptr;
  QTableWidget* table_public_ = nullptr;
  QLabel* label_public_ = nullptr;
  DirectoryLookup* directory_ = nullptr;  // none when no directory is set
  QTimer* refresh_ = nullptr;
  QString offeredWatch_;  // the full game picked once, to be watched when picked again
};

}  // namespace tw
