// mainchat: the read-only chat display. It keeps a table of 15 text styles;
// every piece of text remembers its style, so changing a style restyles the
// lines already shown. Text is inserted as text, never parsed as markup.
// Peers decide how long and how often lines come, so a line is laid out in
// one edit, a restyle is one edit, and only the latest kMaxLines are kept.
#pragma once

#include <QTextBrowser>
#include <array>

#include "chat_line.h"

namespace tw {

class ChatDisplay : public QTextBrowser {
  Q_OBJECT

 public:
  explicit ChatDisplay(QWidget* parent = nullptr);

  static constexpr int kMaxLines = 500;

  void setStyle(int index, const TextStyle& style);
  const TextStyle& style(int index) const { return styles_.at(std::size_t(index)); }
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

  std::array<TextStyle, kStyleCount> styles_;
  std::array<QTextCharFormat, kStyleCount> textFormats_;
  std::array<QTextCharFormat, kStyleCount> linkFormats_;
  bool scrollOff_ = false;
};

}  // namespace tw
