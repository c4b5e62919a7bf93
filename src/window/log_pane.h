#pragma once
// LogPane: a port's log pane, a list of lines of CP1254 text (LogLines) and a view that wraps
// and paints only the rows on screen, in the pane's monospaced font.
//
// Other parts add whole lines; the receive display extends the last line that holds text.
// Both go straight into the text; the view catches up at most kRepaintDelayMs later, so a
// byte costs the same whatever the line's or the pane's length. The view follows the newest
// text unless the user has scrolled up. The user may select, copy and type as in a plain
// text editor; there is no undo. Bytes 10 and 13 inside a logged text show as their control
// pictures and copy as those. Main thread only.

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QString>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "window/log_lines.h"

class QMenu;

class LogPane : public QAbstractScrollArea {
 public:
  static constexpr int kMaxLineChars = static_cast<int>(LogLines::kMaxLineChars);
  static constexpr int kKeepChars = static_cast<int>(LogLines::kKeepChars);
  static constexpr int kMaxChars = static_cast<int>(LogLines::kMaxChars);
  static constexpr int kRepaintDelayMs = 33;
  // While the view follows the newest text, the scroll bar (whose handle barely moves then)
  // is brought up to date this often; at once when the user scrolls.
  static constexpr int kFollowingBarDelayMs = 250;

  explicit LogPane(QWidget* parent);
  ~LogPane() override;

  void AddLine(std::string_view cp1254);
  void ExtendLastLine(std::string_view cp1254);
  // See LogLines::Listener.
  void AddListener(LogLines::Listener* listener) { text_.AddListener(listener); }
  void RemoveListener(LogLines::Listener* listener) { text_.RemoveListener(listener); }

  std::vector<std::string> Lines() const;  // CP1254, the final empty line after a break excluded
  std::string LastLine() const;
  int LineCount() const;
  // The whole text as saved: every line in CP1254 followed by CR LF.
  std::string SavedText() const;
  // Characters held, each line counted with its break.
  int CharacterCount() const;

  // Brings the scroll bar and the view up to the text now.
  void Flush();

  QString SelectedText() const;
  // True while the view keeps the newest text in sight.
  bool FollowsNewText() const { return follow_; }
  // Adds the owner's items to the end of the pane's right-click menu before it shows.
  std::function<void(QMenu* menu)> ExtendMenu;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  using Pos = LogLines::Pos;
  class RepaintClock;
  // A row on screen: its block and the byte range it shows.
  struct Row {
    uint64_t block;
    size_t start, end;
  };

  void TextChanged();
  void MeasureFont();
  size_t Columns() const;
  int VisibleRows() const;
  void SyncRowCache();
  int64_t RowsBefore(uint64_t block) const;
  int64_t TotalRows() const;
  void SetTopRow(int64_t row);
  void UpdateView(bool barNow);
  std::vector<Row> RowsOnScreen() const;
  Pos HitTest(const QPoint& point) const;

  bool HasSelection() const { return anchor_ != cursor_; }
  void Select(Pos anchor, Pos cursor);
  void MoveCursor(Pos to, bool keepAnchor);
  void Copy() const;
  void EraseSelection();
  void InsertTyped(const QString& text);

  LogLines text_;
  bool repaintRequested_ = false;
  bool follow_ = true;
  bool syncingBar_ = false;
  QElapsedTimer barSynced_;
  uint64_t topBlock_ = 0;  // the first row on screen: a block and a row inside it
  size_t topRow_ = 0;
  Pos cursor_, anchor_;  // the selection runs between them
  bool selecting_ = false;
  // Rows per block at cacheColumns_: cum_[i] counts the rows of the blocks from cacheFirst_
  // up to (not including) cacheFirst_ + i, plus a base. The last block is never cached.
  size_t cacheColumns_ = 0;
  uint64_t cacheFirst_ = 0;
  std::deque<int64_t> cum_;
  double charWidth_ = 8;
  int lineHeight_ = 14;
  int ascent_ = 11;
};
