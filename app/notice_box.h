// The read-only notice box. Web addresses in its text become links; a click
// on one reports the link's character range.
#pragma once

#include <QTextBrowser>

class NoticeBox final : public QTextBrowser {
  Q_OBJECT

 public:
  explicit NoticeBox(QWidget* parent);

  // Shows plain text (lines separated by CR LF or LF) and marks every web
  // address in it, "http://", "https://" or "www." followed by non-blank
  // characters, as a link.
  void SetNotice(const QString& text);

  // Character ranges [start, end) of the links, in text order.
  QList<std::pair<int, int>> LinkRanges() const;

 signals:
  // A link was clicked with the left button.
  void linkClicked(int start, int end);

 private:
  void OnAnchorClicked(const QUrl& url);
};
