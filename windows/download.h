// Tdownload: offers the lobby program on a solo start. It downloads the
// installer in the background under a temporary name, starts it only when it
// arrived whole, or hands over to an installed lobby program.
#pragma once

#include <QFile>
#include <QNetworkReply>
#include <QPointer>
#include <QUrl>
#include <functional>
#include <string>

#include "client/settings_store.h"
#include "windows/secondary_window.h"

class QNetworkAccessManager;

namespace tw {

class Tdownload final : public SecondaryWindow {
  Q_OBJECT

 public:
  struct Places {
    QUrl address;          // the installer on the maker's server
    QString lobbyProgram;  // the installed lobby program
    QString programDir;    // where the installer goes when it can be written
    QString downloadDir;   // else here
  };
  // The installer's size is bounded; a server sending more is not believed.
  static constexpr qint64 kMaxInstallerBytes = qint64(512) << 20;

  // The places as the settings file and the platform give them.
  static Places defaultPlaces(const SettingsStore& store);

  explicit Tdownload(Places places, QWidget* parent = nullptr);
  ~Tdownload() override;

  // Hands a file to the platform to run; false when that failed. Replaceable
  // by tests.
  std::function<bool(const QString& file, const QStringList& arguments)> startFile;

  // A web address to download from is configured; without one the window
  // is not offered.
  bool offered() const;
  bool downloading() const { return reply_ != nullptr; }
  // Where a completed download lies.
  QString installerPath() const { return target_; }

  void getbuttonClick();
  void abortbuttonClick();
  void playWithOthers();

  void done(int result) override;

 signals:
  // The installer or the lobby program runs; this copy should end.
  void closeGameRequested();
  // No lobby program is installed: offer the host-or-join window.
  void hostOrJoinRequested();

 private:
  void headersArrived();
  void dataArrived();
  void finished();
  bool okStatus() const;

  Places places_;
  QNetworkAccessManager* http_ = nullptr;
  QPointer<QNetworkReply> reply_;
  QFile part_;
  QString target_;
  qint64 received_ = 0;
  int state_ = 0;  // 1 running, 2 aborted or failed
  bool stopped_ = false;
  bool writeFailed_ = false;
  bool bodyStarted_ = false;

  QPushButton* getbutton_ = nullptr;
  QPushButton* abortbutton_ = nullptr;
  QLabel* infolabel_ = nullptr;
  QLabel* infolabel2_ = nullptr;
  QLabel* infolabel3_ = nullptr;
};

}  // namespace tw
