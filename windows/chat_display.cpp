// The chat display over QTextDocument: styled text, links and smilies.
#include "chat_display.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "pictures.h"

namespace tw {

namespace {
QString latin1(const std::string& s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }
const QString kLinkScheme = QStringLiteral("tw-link");
}  // namespace

ChatDisplay::ChatDisplay(QWidget* parent) : QTextBrowser(parent), styles_(initialStyles()) {
  setOpenLinks(false);
  setOpenExternalLinks(false);
  setUndoRedoEnabled(false);
  QPalette pal = palette();
  pal.setColor(QPalette::Base, Qt::white);
  setPalette(pal);
  addSmilies();
  connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
    if (url.scheme() != kLinkScheme) return;
    bool ok = false;
    const int number = url.path().toInt(&ok);
    if (ok) emit linkClicked(number);
  });
}

void ChatDisplay::addSmilies() {
  for (int i = 0; i < kSmileyCount; ++i)
    document()->addResource(QTextDocument::ImageResource, QUrl(smileyName(i)), pictures::smiley(i).toImage());
}

void ChatDisplay::clearChat() {
  clear();
  addSmilies();
}

QString ChatDisplay::smileyName(int image) { return QStringLiteral("tw-smiley:%1").arg(image); }

QColor ChatDisplay::toQColor(Colour colour, const QPalette& palette) {
  if (colour == kWindowText) return palette.color(QPalette::WindowText);
  return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

QTextCharFormat ChatDisplay::format(int style, bool link) const {
  const TextStyle& s = styles_.at(std::size_t(style));
  QTextCharFormat f;
  f.setFontFamilies({QStringLiteral("Arial")});
  f.setFontPointSize(s.size);
  f.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
  f.setFontItalic(s.italic);
  f.setFontUnderline(s.underline || link);
  f.setForeground(toQColor(s.colour, QPalette()));
  f.setProperty(kStyleProperty, style);
  return f;
}

void ChatDisplay::setStyle(int index, const TextStyle& style) {
  if (index < 0 || index >= kStyleCount) return;
  styles_[std::size_t(index)] = style;
  restyle(index);
}

void ChatDisplay::restyle(int style) {
  // Ranges first: changing formats while walking would move the fragments.
  struct Range {
    int position;
    int length;
    bool link;
  };
  std::vector<Range> ranges;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const QTextCharFormat current = fragment.charFormat();
      if (!fragment.isValid() || current.isImageFormat() || !current.hasProperty(kStyleProperty)) continue;
      if (current.intProperty(kStyleProperty) == style)
        ranges.push_back({fragment.position(), fragment.length(), current.isAnchor()});
    }
  }
  const QTextCharFormat text = format(style);
  const QTextCharFormat link = format(style, true);
  QTextCursor cursor(document());
  for (const Range& r : ranges) {
    cursor.setPosition(r.position);
    cursor.setPosition(r.position + r.length, QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(r.link ? link : text);
  }
}

void ChatDisplay::addLine(const ChatLine& line) {
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  if (!document()->isEmpty()) cursor.insertBlock();
  cursor.insertText(latin1(line.prefix) + QLatin1Char(' '), format(line.style));
  for (const ChatPiece& piece : line.pieces) {
    switch (piece.kind) {
      case ChatPiece::Kind::Text:
        cursor.insertText(latin1(piece.text), format(piece.style));
        break;
      case ChatPiece::Kind::Link: {
        QTextCharFormat f = format(piece.style, true);
        f.setAnchor(true);
        f.setAnchorHref(kLinkScheme + QLatin1Char(':') + QString::number(piece.link));
        f.setProperty(kLinkProperty, piece.link);
        cursor.insertText(latin1(piece.text), f);
        break;
      }
      case ChatPiece::Kind::Smiley: {
        QTextImageFormat image;
        image.setName(smileyName(piece.image));
        image.setWidth(17);
        image.setHeight(16);
        image.setVerticalAlignment(QTextCharFormat::AlignMiddle);
        cursor.insertImage(image);
        break;
      }
    }
  }
  if (!scrollOff_) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

}  // namespace tw
