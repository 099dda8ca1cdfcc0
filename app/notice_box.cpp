#include "app/notice_box.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

NoticeBox::NoticeBox(QWidget* parent) : QTextBrowser(parent) {
  setOpenLinks(false);
  setOpenExternalLinks(false);
  setReadOnly(true);
  connect(this, &QTextBrowser::anchorClicked, this, &NoticeBox::OnAnchorClicked);
}

void NoticeBox::SetNotice(const QString& text) {
  QString plain = text;
  plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  setPlainText(plain);

  // Ends at white space and at full-width punctuation, which no address holds.
  static const QRegularExpression kAddress(
      QStringLiteral("(?:https?://|www\\.)[^\\s，。、；：！？（）<>\"]+"),
      QRegularExpression::CaseInsensitiveOption);
  const QString shown = document()->toPlainText();
  QTextCharFormat link;
  link.setAnchor(true);
  link.setForeground(palette().link());
  link.setFontUnderline(true);
  int n = 0;
  for (auto it = kAddress.globalMatch(shown); it.hasNext();) {
    const QRegularExpressionMatch match = it.next();
    QTextCursor cursor(document());
    cursor.setPosition(static_cast<int>(match.capturedStart()));
    cursor.setPosition(static_cast<int>(match.capturedEnd()), QTextCursor::KeepAnchor);
    link.setAnchorHref(QStringLiteral("#link%1").arg(++n));
    cursor.mergeCharFormat(link);
  }
}

namespace {

// Calls visit(start, end, href) for every run of text carrying a link.
template <typename Visit>
void ForEachLink(const QTextDocument* document, Visit visit) {
  int start = -1;
  int end = -1;
  QString href;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const QString fragmentHref =
          fragment.charFormat().isAnchor() ? fragment.charFormat().anchorHref() : QString();
      if (!fragmentHref.isEmpty() && fragmentHref == href && fragment.position() == end) {
        end += fragment.length();
        continue;
      }
      if (!href.isEmpty()) visit(start, end, href);
      href = fragmentHref;
      start = fragment.position();
      end = start + fragment.length();
    }
  }
  if (!href.isEmpty()) visit(start, end, href);
}

}  // namespace

QList<std::pair<int, int>> NoticeBox::LinkRanges() const {
  QList<std::pair<int, int>> ranges;
  ForEachLink(document(), [&](int start, int end, const QString&) { ranges.append({start, end}); });
  return ranges;
}

void NoticeBox::OnAnchorClicked(const QUrl& url) {
  const QString href = url.toString();
  int start = -1;
  int end = -1;
  ForEachLink(document(), [&](int s, int e, const QString& h) {
    if (start < 0 && h == href) {
      start = s;
      end = e;
    }
  });
  if (start >= 0) emit linkClicked(start, end);
}
