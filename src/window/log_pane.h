#pragma once
// LogPane: a port's log pane, a list of lines of CP1254 text over a QPlainTextEdit.
//
// Other parts add whole lines; the receive display extends the last line that holds text (an
// empty line after a final line break does not count). Extending appends at the end of the
// document, buffered until the event loop next runs, so a byte costs the same whatever the
// line's length. Each line holds at most kMaxLineChars: an entry that would pass it starts a
// new line. The pane keeps at least its last kKeepChars characters and never more than
// kMaxChars: past that the oldest lines go. Undo is off; the user may type into it.
// Main thread only.

#include <QPlainTextEdit>
#include <QString>
#include <QTimer>
#include <string>
#include <string_view>
#include <vector>

class LogPane : public QPlainTextEdit {
 public:
  static constexpr int kMaxLineChars = 4096;
  static constexpr int kKeepChars = 8 * 1024 * 1024;
  static constexpr int kMaxChars = 10 * 1024 * 1024;
  static constexpr int kMaxPendingChars = 64 * 1024;

  explicit LogPane(QWidget* parent);

  void AddLine(std::string_view cp1254);
  void ExtendLastLine(std::string_view cp1254);

  std::vector<std::string> Lines();  // CP1254, the final empty line after a break excluded
  std::string LastLine();
  int LineCount();
  // The whole text as saved: every line in CP1254 followed by CR LF.
  std::string SavedText();

  // Writes what is buffered into the document now.
  void Flush();

 private:
  QTextBlock LastTextBlock() const;
  int LastLineLength() const;
  void TrimToBound();

  QString pending_;       // text waiting to be appended at the end of the document
  int lastLineLength_ = -1;  // length of the last block, pending text included; -1 unknown
  bool emptyLineAdded_ = false;  // the empty last block is a line AddLine put there
  QTimer flushTimer_;
};
