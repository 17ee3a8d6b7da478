// The host-or-join window.
#include "host_or_join.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "commands.h"
#include "cp1252.h"

namespace tw {

namespace {

constexpr int kMaxName = 30;

// Text the wire and the command line carry whole: 8-bit, without the field
// separator, the message end or a line break.
bool fitsTheWire(const QString& text) {
  for (QChar c : text)
    if (c.unicode() > 0xFE || c == QLatin1Char('+') || c == QLatin1Char('|') || c.unicode() < 0x20)
      return false;
  return true;
}

}  // namespace

Tconnect::Tconnect(SettingsStore store, QWidget* parent)
    : SecondaryWindow(parent, "connectform", QStringLiteral("Tilewhirl - Host or Join")),
      startProgram([](const QString& p, const QStringList& a) { return QProcess::startDetached(p, a); }),
      program(QCoreApplication::applicationFilePath()),
      store_(std::move(store)) {
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  edit_name_ = new QLineEdit(this);
  edit_name_->setObjectName(QStringLiteral("edit_name"));
  edit_name_->setMaxLength(kMaxName);
  form->addRow(label(QStringLiteral("Your Name:")), edit_name_);
  radio_host_ = new QRadioButton(QStringLiteral("Host a game on this computer"), this);
  radio_host_->setObjectName(QStringLiteral("radio_host"));
  radio_join_ = new QRadioButton(QStringLiteral("Join a game"), this);
  radio_join_->setObjectName(QStringLiteral("radio_join"));
  lightText(radio_host_);
  lightText(radio_join_);
  form->addRow(radio_host_);
  form->addRow(radio_join_);
  edit_host_ = new QLineEdit(this);
  edit_host_->setObjectName(QStringLiteral("edit_host"));
  form->addRow(label(QStringLiteral("Host Address:")), edit_host_);
  edit_port_ = new QSpinBox(this);
  edit_port_->setObjectName(QStringLiteral("edit_port"));
  edit_port_->setRange(1, 65535);
  edit_port_->setValue(kGamePort);
  form->addRow(label(QStringLiteral("Port:")), edit_port_);
  layout->addLayout(form);
  label_error_ = label(QString(), "label_error");
  label_error_->setStyleSheet(QStringLiteral("color: #ffb0b0"));
  layout->addWidget(label_error_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  QPushButton* startButton = button(QStringLiteral("Start"), "button_start", true);
  QPushButton* cancel = button(QStringLiteral("Cancel"), "button_cancel");
  buttons->addWidget(startButton);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(startButton, &QPushButton::clicked, this, &Tconnect::start);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(radio_host_, &QRadioButton::toggled, this, &Tconnect::hostingToggled);
  load();
  resize(360, 0);
}

void Tconnect::load() {
  const JoinChoices last = store_.loadJoin();
  edit_name_->setText(fromCp1252(last.name));
  edit_host_->setText(fromCp1252(last.host));
  edit_port_->setValue(last.port);
  (last.hosting ? radio_host_ : radio_join_)->setChecked(true);
  hostingToggled();
}

void Tconnect::hostingToggled() { edit_host_->setEnabled(!radio_host_->isChecked()); }

QStringList Tconnect::arguments(QString* error) const {
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    return QStringList();
  };
  const QString name = edit_name_->text().trimmed();
  const QString host = edit_host_->text().trimmed();
  const bool hosting = radio_host_->isChecked();
  if (name.isEmpty()) return fail(QStringLiteral("Please enter your name."));
  if (!fitsTheWire(name))
    return fail(QStringLiteral("A name cannot hold \"+\", \"|\" or unusual characters."));
  if (!hosting && host.isEmpty()) return fail(QStringLiteral("Please enter the host's address."));
  if (!hosting && (!fitsTheWire(host) || host.contains(QLatin1Char(' '))))
    return fail(QStringLiteral("The host's address is not valid."));
  // "--" keeps a name that starts with "-" from reading as an option.
  return {QStringLiteral("--port"),
          QString::number(edit_port_->value()),
          QStringLiteral("--new-instance"),
          QStringLiteral("--"),
          name,
          hosting ? QStringLiteral("127.0.0.1") : host,
          hosting ? QStringLiteral("true") : QStringLiteral("false")};
}

void Tconnect::start() {
  QString error;
  const QStringList args = arguments(&error);
  if (args.isEmpty()) {
    label_error_->setText(error);
    return;
  }
  label_error_->clear();
  store_.saveJoin({toCp1252(edit_name_->text().trimmed()), toCp1252(edit_host_->text().trimmed()),
                   edit_port_->value(), radio_host_->isChecked()});
  if (!startProgram || !startProgram(program, args)) {
    label_error_->setText(QStringLiteral("An Error has Occurred."));
    return;
  }
  accept();
  emit closeGameRequested();
}

}  // namespace tw
