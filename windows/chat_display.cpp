// The chat display over QTextDocument: styled text, links and smilies.
#include "windows/chat_display.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "client/cp1252.h"
#include "windows/pictures.h"

namespace tw {

namespace {
const QString kLinkScheme = QStringLiteral("tw-link");
}  // namespace

ChatDisplay::ChatDisplay(QWidget* parent, StyleSource styles) : QTextBrowser(parent), styles_(std::move(styles)) {
  if (!styles_)
    styles_ = [](int index) -> const TextStyle& {
      static const std::array<TextStyle, kStyleCount> initial = initialStyles();
      return initial.at(std::size_t(index));
    };
  setOpenLinks(false);
  setOpenExternalLinks(false);
  setUndoRedoEnabled(false);
  QPalette pal = palette();
  pal.setColor(QPalette::Base, Qt::white);
  setPalette(pal);
  for (int i = 0; i < kStyleCount; ++i) {
    textFormats_[std::size_t(i)] = format(i);
    linkFormats_[std::size_t(i)] = format(i, true);
  }
  addSmilies();
  connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
    if (url.scheme() != kLinkScheme) return;
    bool ok = false;
    const int number = url.path().toInt(&ok);
    if (ok) emit linkClicked(number);
  });
}

void ChatDisplay::addSmilies() {
  document()->setMaximumBlockCount(kMaxLines);
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
  const TextStyle& s = styles_(style);
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

void ChatDisplay::styleChanged(int index) {
  if (index < 0 || index >= kStyleCount) return;
  textFormats_[std::size_t(index)] = format(index);
  linkFormats_[std::size_t(index)] = format(index, true);
  restyle(index);
}

void ChatDisplay::restyle(int style) {
  // Ranges first: changing formats while walking would move the fragments.
  // Neighbouring fragments of the style make one range.
  struct Range {
    int position;
    int end;
    bool link;
  };
  std::vector<Range> ranges;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const QTextCharFormat current = fragment.charFormat();
      if (!fragment.isValid() || current.isImageFormat() || current.intProperty(kStyleProperty) != style ||
          !current.hasProperty(kStyleProperty))
        continue;
      const bool link = current.isAnchor();
      const int end = fragment.position() + fragment.length();
      if (!ranges.empty() && ranges.back().end == fragment.position() && ranges.back().link == link)
        ranges.back().end = end;
      else
        ranges.push_back({fragment.position(), end, link});
    }
  }
  if (ranges.empty()) return;
  QTextCursor cursor(document());
  cursor.beginEditBlock();
  for (const Range& r : ranges) {
    cursor.setPosition(r.position);
    cursor.setPosition(r.end, QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(r.link ? linkFormats_[std::size_t(style)] : textFormats_[std::size_t(style)]);
  }
  cursor.endEditBlock();
}

void ChatDisplay::addLine(const ChatLine& line) {
  QTextCursor cursor(document());
  cursor.beginEditBlock();
  cursor.movePosition(QTextCursor::End);
  if (!document()->isEmpty()) cursor.insertBlock();
  // Neighbouring pieces of one style go in as one run.
  QString run = fromCp1252(line.prefix) + QLatin1Char(' ');
  int runStyle = line.style;
  const auto flush = [&] {
    if (!run.isEmpty()) cursor.insertText(run, textFormats_.at(std::size_t(runStyle)));
    run.clear();
  };
  for (const ChatPiece& piece : line.pieces) {
    switch (piece.kind) {
      case ChatPiece::Kind::Text:
        if (piece.style != runStyle) {
          flush();
          runStyle = piece.style;
        }
        run += fromCp1252(piece.text);
        break;
      case ChatPiece::Kind::Link: {
        flush();
        QTextCharFormat f = linkFormats_.at(std::size_t(piece.style));
        f.setAnchor(true);
        f.setAnchorHref(kLinkScheme + QLatin1Char(':') + QString::number(piece.link));
        f.setProperty(kLinkProperty, piece.link);
        cursor.insertText(fromCp1252(piece.text), f);
        break;
      }
      case ChatPiece::Kind::Smiley: {
        flush();
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
  flush();
  cursor.endEditBlock();
  if (!scrollOff_) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

}  // namespace tw
