// The invite code's bar in the hosting window.
#include "windows/invite_bar.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace tw {

InviteBar::InviteBar(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  label_code_ = new QLabel(QStringLiteral("Asking the game directory for an invite code..."), this);
  label_code_->setObjectName(QStringLiteral("label_invite"));
  label_code_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label_reach_ = new QLabel(this);
  label_reach_->setObjectName(QStringLiteral("label_reach"));
  auto* copy = new QPushButton(QStringLiteral("Copy"), this);
  copy->setObjectName(QStringLiteral("button_copy_code"));
  copy->setAutoDefault(false);
  copy->setFocusPolicy(Qt::NoFocus);  // the chat line keeps Return
  connect(copy, &QPushButton::clicked, this, [this] {
    if (!code_.isEmpty()) QApplication::clipboard()->setText(code_);
  });
  layout->addWidget(label_code_);
  layout->addWidget(copy);
  layout->addWidget(label_reach_);
}

void InviteBar::showCode(const QString& shownCode) {
  code_ = shownCode;
  label_code_->setText(QStringLiteral("Invite code: %1").arg(shownCode));
}

void InviteBar::showReachability(const tw::Reachability& how) {
  switch (how.way) {
    case Reachability::Way::Direct:
      label_reach_->setText(QStringLiteral("Reachable directly"));
      break;
    case Reachability::Way::PortMapped:
      label_reach_->setText(QStringLiteral("Reachable through your router (port opened)"));
      break;
    case Reachability::Way::Relayed:
      label_reach_->setText(QStringLiteral("Reachable through the directory's relay"));
      break;
    case Reachability::Way::Unreachable:
      label_reach_->setText(QStringLiteral("Not reachable from outside (%1). Open TCP port %2 on your router, or "
                                           "play on the local network.")
                                .arg(how.why.empty() ? QStringLiteral("no answer") : QString::fromStdString(how.why))
                                .arg(how.gamePort));
      break;
  }
}

}  // namespace tw
