// The phrases editor.
#include "phrases.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "cp1252.h"

namespace tw {

Tphrases::Tphrases(SettingsStore store, QWidget* parent)
    : SecondaryWindow(parent, "phrasesform", QStringLiteral("Tilewhirl - Phrase Buttons ")),
      store_(std::move(store)) {
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
  const QStringList texts = phrases();
  emit phrasesChanged(texts);
  Phrases stored;
  for (int i = 0; i < kPhraseCount; ++i) stored[std::size_t(i)] = toCp1252(texts[i]);
  accept();
  if (!store_.savePhrases(stored))
    tell(QStringLiteral("The phrases are on the buttons, but they could not be saved in %1.")
             .arg(QString::fromStdString(store_.path())));
}

}  // namespace tw
