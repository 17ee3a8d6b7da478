// The phrases editor.
#include "windows/phrases.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw {

Tphrases::Tphrases(QWidget* parent)
    : SecondaryWindow(parent, "phrasesform", QStringLiteral("Tilewhirl - Phrase Buttons ")) {
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  for (int i = 0; i < kPhraseCount; ++i) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("phrase%1").arg(i + 1));
    edit->setMaxLength(kMaxLength);
    form->addRow(label(QStringLiteral("Phrase Button %1:").arg(i + 1)), edit);
    phrase_[std::size_t(i)] = edit;
  }
  layout->addLayout(form);
  layout->addWidget(label(QStringLiteral("Buttons can only be used once every 2 seconds")));
  QPushButton* done = button(QStringLiteral("Done"), "button_done", true);
  layout->addWidget(done, 0, Qt::AlignRight);
  connect(done, &QPushButton::clicked, this, &Tphrases::done_);
  resize(380, 0);
}

void Tphrases::showPhrases(const QStringList& phrases) {
  for (int i = 0; i < kPhraseCount; ++i) phrase_[std::size_t(i)]->setText(phrases.value(i));
  show();
  raise();
  activateWindow();
}

QStringList Tphrases::phrases() const {
  QStringList out;
  for (const QLineEdit* edit : phrase_) out << edit->text();
  return out;
}

void Tphrases::done_() {
  accept();
  emit phrasesChanged(phrases());
}

}  // namespace tw
