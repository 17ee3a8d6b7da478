// mainchat: the read-only chat display. It shows 15 text styles that the
// session keeps; every piece of text remembers its style, so a changed style
// restyles the lines already shown. Text is inserted as text, never parsed as markup.
// Peers decide how long and how often lines come, so a line is laid out in
// one edit, a restyle is one edit, and only the latest kMaxLines are kept.
#pragma once

#include <QTextBrowser>
#include <array>
#include <functional>

#include "client/chat_line.h"

namespace tw {

class ChatDisplay : public QTextBrowser {
  Q_OBJECT

 public:
  // Where the display reads a style by its index; without one, the initial styles.
  using StyleSource = std::function<const TextStyle&(int index)>;
  explicit ChatDisplay(QWidget* parent = nullptr, StyleSource styles = {});

  static constexpr int kMaxLines = 500;

  // Style `index` changed at its source: its lines are shown anew.
  void styleChanged(int index);
  const TextStyle& style(int index) const { return styles_(index); }
  void addLine(const ChatLine& line);
  // Removes every line; the smilies stay available.
  void clearChat();
  void setScrollOff(bool off) { scrollOff_ = off; }
  bool scrollOff() const { return scrollOff_; }

  // The style index every fragment carries, and the link number of links.
  static constexpr int kStyleProperty = QTextFormat::UserProperty + 1;
  static constexpr int kLinkProperty = QTextFormat::UserProperty + 2;
  static QString smileyName(int image);
  static QColor toQColor(Colour colour, const QPalette& palette);

 signals:
  // A click on a link: the number the session gave it.
  void linkClicked(int number);

 private:
  // Links keep their underline whatever their style says, so they stay visible as links.
  QTextCharFormat format(int style, bool link = false) const;
  void addSmilies();
  void restyle(int style);

  StyleSource styles_;
  std::array<QTextCharFormat, kStyleCount> textFormats_;
  std::array<QTextCharFormat, kStyleCount> linkFormats_;
  bool scrollOff_ = false;
};

}  // namespace tw
