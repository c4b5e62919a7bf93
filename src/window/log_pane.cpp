#include "window/log_pane.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "platform/qt_text.h"

namespace {
constexpr int kFlushDelayMs = 15;

// A carriage return or line feed inside a logged text (a packet as received) stays inside its
// line, shown as its control picture, and reads back as the byte it was.
constexpr char16_t kLineFeedPicture = u'\u240A';
constexpr char16_t kCarriageReturnPicture = u'\u240D';

QString ToPane(std::string_view cp1254) {
  QString text = platform::ToQString(cp1254);
  text.replace(QChar(u'\n'), QChar(kLineFeedPicture));
  text.replace(QChar(u'\r'), QChar(kCarriageReturnPicture));
  return text;
}

std::string FromPane(QString text) {
  text.replace(QChar(kLineFeedPicture), QChar(u'\n'));
  text.replace(QChar(kCarriageReturnPicture), QChar(u'\r'));
  return platform::FromQString(text);
}
}  // namespace

LogPane::LogPane(QWidget* parent) : QPlainTextEdit(parent) {
  setUndoRedoEnabled(false);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  flushTimer_.setSingleShot(true);
  flushTimer_.setInterval(kFlushDelayMs);
  QObject::connect(&flushTimer_, &QTimer::timeout, this, [this] { Flush(); });
  // Whatever the user types invalidates the cached length of the last line.
  QObject::connect(document(), &QTextDocument::contentsChange, this,
                   [this](int, int, int) {
                     lastLineLength_ = -1;
                     emptyLineAdded_ = false;
                   });
}

QTextBlock LogPane::LastTextBlock() const {
  QTextBlock last = document()->lastBlock();
  if (last.text().isEmpty() && !emptyLineAdded_ && last.previous().isValid()) {
    return last.previous();
  }
  return last;
}

void LogPane::Flush() {
  flushTimer_.stop();
  if (pending_.isEmpty()) return;
  QString text;
  text.swap(pending_);
  const int keepLength = lastLineLength_;
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(text);
  TrimToBound();
  lastLineLength_ = keepLength;
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->maximum());
}

void LogPane::TrimToBound() {
  QTextDocument* doc = document();
  if (doc->characterCount() <= kMaxChars) return;
  const int cut = doc->characterCount() - kKeepChars;
  QTextBlock block = doc->findBlock(cut);
  // Cut at a line start so that no line is left half; keep at least kKeepChars.
  int position = block.position();
  if (position <= 0) return;
  QTextCursor cursor(doc);
  cursor.setPosition(0);
  cursor.setPosition(position, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
}

void LogPane::AddLine(std::string_view cp1254) {
  Flush();
  const QString line = ToPane(cp1254);
  QTextDocument* doc = document();
  QTextBlock last = doc->lastBlock();
  QTextCursor cursor(doc);
  cursor.movePosition(QTextCursor::End);
  // An empty last line left by a final line break is where the new line goes; otherwise,
  // and after an empty line added here, it follows a line break.
  const bool intoLast = last.text().isEmpty() && !emptyLineAdded_;
  cursor.insertText(intoLast ? line : QChar(u'\n') + line);
  TrimToBound();
  lastLineLength_ = static_cast<int>(line.size());
  emptyLineAdded_ = line.isEmpty();
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->maximum());
}

int LogPane::LastLineLength() const {
  if (lastLineLength_ >= 0) return lastLineLength_;
  const auto lastBreak = pending_.lastIndexOf(QChar(u'\n'));
  if (lastBreak >= 0) return static_cast<int>(pending_.size() - lastBreak - 1);
  return document()->lastBlock().length() - 1 + static_cast<int>(pending_.size());
}

void LogPane::ExtendLastLine(std::string_view cp1254) {
  const QString entry = ToPane(cp1254);
  if (pending_.isEmpty()) {
    QTextBlock target = LastTextBlock();
    if (target != document()->lastBlock()) {
      // The last line that holds text is followed by an empty line: extend it in place.
      if (target.length() - 1 + entry.size() > kMaxLineChars) {
        AddLine(cp1254);
        return;
      }
      QTextCursor cursor(target);
      cursor.movePosition(QTextCursor::EndOfBlock);
      cursor.insertText(entry);
      return;
    }
  }
  int length = LastLineLength();
  if (length > 0 && length + entry.size() > kMaxLineChars) {
    pending_ += QChar(u'\n');
    length = 0;
  }
  pending_ += entry;
  lastLineLength_ = length + static_cast<int>(entry.size());
  // Buffered text stays bounded even when the event loop cannot get to the flush.
  if (pending_.size() >= kMaxPendingChars) {
    Flush();
  } else if (!flushTimer_.isActive()) {
    flushTimer_.start();
  }
}

std::vector<std::string> LogPane::Lines() {
  Flush();
  std::vector<std::string> lines;
  QTextDocument* doc = document();
  QTextBlock end = doc->lastBlock();
  for (QTextBlock b = doc->firstBlock(); b.isValid(); b = b.next()) {
    if (b == end && b.text().isEmpty() && !emptyLineAdded_) break;
    lines.push_back(FromPane(b.text()));
  }
  return lines;
}

std::string LogPane::LastLine() {
  Flush();
  return FromPane(LastTextBlock().text());
}

int LogPane::LineCount() { return static_cast<int>(Lines().size()); }

std::string LogPane::SavedText() {
  std::string out;
  for (const std::string& line : Lines()) {
    out += line;
    out += "\r\n";
  }
  return out;
}
