// PREVINST: one running copy per user session. The first copy listens on a
// local socket; a later copy finds it there, asks it to come forward and
// ends before creating any window.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace tw {

class PREVINST : public QObject {
  Q_OBJECT

 public:
  // `name` is the local socket's name or path; see defaultName().
  explicit PREVINST(QString name, QObject* parent = nullptr);
  ~PREVINST() override;

  // True when no other copy answers; this copy then serves later ones.
  // False after the running copy has been asked to come forward.
  bool claim();

  // The per-user-session socket, in the user's runtime folder.
  static QString defaultName();

 signals:
  void raiseRequested();

 private:
  QString name_;
  QLocalServer* server_ = nullptr;
};

}  // namespace tw
