#include "window/log_pane.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "window/line_wrap.h"
#include "window/pane_text.h"

namespace {
constexpr int kMargin = 4;  // between the frame and the text
}  // namespace

// One clock for every pane, so that the panes that changed repaint together, in one pass over
// the window rather than one pass each.
class LogPane::RepaintClock {
 public:
  static RepaintClock& Instance() {
    static RepaintClock* clock = new RepaintClock();  // lives as long as the program
    return *clock;
  }
  void Request(LogPane* pane) {
    waiting_.push_back(pane);
    if (!timer_.isActive()) timer_.start();
  }
  void Forget(LogPane* pane) { std::erase(waiting_, pane); }

 private:
  RepaintClock() {
    timer_.setSingleShot(true);
    timer_.setInterval(kRepaintDelayMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      std::vector<LogPane*> panes;
      panes.swap(waiting_);
      for (LogPane* pane : panes) {
        pane->repaintRequested_ = false;
        pane->viewport()->update();
      }
    });
  }
  QTimer timer_;
  std::vector<LogPane*> waiting_;
};

LogPane::LogPane(QWidget* parent) : QAbstractScrollArea(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setCursor(Qt::IBeamCursor);
  verticalScrollBar()->setSingleStep(1);
  MeasureFont();
}

LogPane::~LogPane() {
  if (repaintRequested_) RepaintClock::Instance().Forget(this);
}

// ---- The text ----

void LogPane::TextChanged() {
  if (repaintRequested_) return;
  repaintRequested_ = true;
  RepaintClock::Instance().Request(this);
}

void LogPane::AddLine(std::string_view cp1254) {
  text_.AddLine(cp1254);
  TextChanged();
}

void LogPane::ExtendLastLine(std::string_view cp1254) {
  text_.ExtendLastLine(cp1254);
  TextChanged();
}

std::vector<std::string> LogPane::Lines() const {
  return text_.Lines();
}

std::string LogPane::LastLine() const {
  return text_.LastLine();
}

int LogPane::LineCount() const {
  return static_cast<int>(text_.Lines().size());
}

int LogPane::CharacterCount() const {
  return static_cast<int>(text_.Characters());
}

std::string LogPane::SavedText() const {
  std::string out;
  out.reserve(text_.Characters() + text_.BlockCount());
  for (const std::string& line : text_.Lines()) {
    out += line;
    out += "\r\n";
  }
  return out;
}

void LogPane::Flush() {
  UpdateView(true);
  viewport()->update();
}

// ---- Rows ----

void LogPane::MeasureFont() {
  const QFontMetricsF metrics(font());
  charWidth_ = std::max(1.0, metrics.horizontalAdvance(QLatin1Char('M')));
  lineHeight_ = std::max(1, static_cast<int>(std::ceil(metrics.lineSpacing())));
  ascent_ = static_cast<int>(std::ceil(metrics.ascent()));
  cum_.clear();
}

size_t LogPane::Columns() const {
  const double width = viewport()->width() - 2 * kMargin;
  return static_cast<size_t>(std::max(1.0, std::floor(width / charWidth_)));
}

int LogPane::VisibleRows() const {
  return std::max(1, (viewport()->height() - kMargin) / lineHeight_);
}

void LogPane::SyncRowCache() {
  const size_t columns = Columns();
  const uint64_t changedFrom = text_.TakeChangedFrom();
  if (columns != cacheColumns_) cum_.clear();
  cacheColumns_ = columns;
  const uint64_t first = text_.FirstNumber();
  if (!cum_.empty() && first > cacheFirst_) {
    const uint64_t gone = first - cacheFirst_;
    if (gone >= cum_.size()) {
      cum_.clear();
    } else {
      cum_.erase(cum_.begin(), cum_.begin() + static_cast<long>(gone));
    }
  }
  if (cum_.empty()) cum_.push_back(0);
  cacheFirst_ = first;
  if (changedFrom < cacheFirst_ + cum_.size() - 1) {
    cum_.resize(changedFrom < cacheFirst_ ? 1 : changedFrom - cacheFirst_ + 1);
  }
  for (uint64_t b = cacheFirst_ + cum_.size() - 1; b + 1 < text_.EndNumber(); ++b) {
    cum_.push_back(cum_.back() + static_cast<int64_t>(RowCount(text_.Block(b), columns)));
  }
}

int64_t LogPane::RowsBefore(uint64_t block) const {
  return cum_[block - cacheFirst_] - cum_.front();
}

int64_t LogPane::TotalRows() const {
  const uint64_t last = text_.EndNumber() - 1;
  return RowsBefore(last) + static_cast<int64_t>(RowCount(text_.Block(last), cacheColumns_));
}

void LogPane::SetTopRow(int64_t row) {
  // The last block whose first row is at or before `row`.
  const int64_t base = cum_.front();
  const auto after = std::upper_bound(cum_.begin(), cum_.end(), base + std::max<int64_t>(row, 0));
  const size_t index = static_cast<size_t>(after - cum_.begin()) - 1;
  topBlock_ = cacheFirst_ + index;
  topRow_ = static_cast<size_t>(std::max<int64_t>(0, row - (cum_[index] - base)));
}

void LogPane::UpdateView(bool barNow) {
  SyncRowCache();
  const int64_t rows = TotalRows();
  const int visible = VisibleRows();
  const int64_t maximum = std::max<int64_t>(0, rows - visible);
  int64_t top = maximum;
  if (!follow_) {
    // Held where the user left it, as far as that text is still there.
    if (topBlock_ < text_.FirstNumber()) {
      topBlock_ = text_.FirstNumber();
      topRow_ = 0;
    }
    top = std::min(maximum, RowsBefore(std::min(topBlock_, text_.EndNumber() - 1)) +
                                static_cast<int64_t>(topRow_));
  }
  SetTopRow(top);
  if (!barNow && follow_ && barSynced_.isValid() && barSynced_.elapsed() < kFollowingBarDelayMs) {
    TextChanged();  // a later frame brings the bar up to date
    return;
  }
  barSynced_.start();
  QScrollBar* bar = verticalScrollBar();
  syncingBar_ = true;
  bar->setRange(0, static_cast<int>(std::min<int64_t>(maximum, INT32_MAX)));
  bar->setPageStep(visible);
  bar->setValue(static_cast<int>(std::min<int64_t>(top, INT32_MAX)));
  syncingBar_ = false;
}

void LogPane::scrollContentsBy(int, int) {
  if (syncingBar_) return;
  SyncRowCache();
  QScrollBar* bar = verticalScrollBar();
  SetTopRow(bar->value());
  follow_ = bar->value() >= bar->maximum();
  viewport()->update();
}

std::vector<LogPane::Row> LogPane::RowsOnScreen() const {
  std::vector<Row> rows;
  const size_t columns = Columns();
  const int wanted = VisibleRows() + 1;  // the last one may show in part
  uint64_t block = std::clamp(topBlock_, text_.FirstNumber(), text_.EndNumber() - 1);
  size_t start = 0;
  for (size_t skip = block == topBlock_ ? topRow_ : 0; skip > 0; --skip) {
    const size_t next = NextRowStart(text_.Block(block), start, columns);
    if (next >= text_.Block(block).size()) break;
    start = next;
  }
  while (block < text_.EndNumber() && static_cast<int>(rows.size()) < wanted) {
    const std::string& line = text_.Block(block);
    const size_t end = NextRowStart(line, start, columns);
    rows.push_back({block, start, end});
    if (end >= line.size()) {
      ++block;
      start = 0;
    } else {
      start = end;
    }
  }
  return rows;
}

// ---- Painting ----

void LogPane::paintEvent(QPaintEvent*) {
  UpdateView(false);
  QPainter painter(viewport());
  painter.setFont(font());
  const QPalette& colors = palette();
  const Pos from = std::min(anchor_, cursor_);
  const Pos to = std::max(anchor_, cursor_);
  const size_t columns = Columns();
  int y = kMargin;
  for (const Row& row : RowsOnScreen()) {
    const std::string& line = text_.Block(row.block);
    const size_t shownEnd = std::min(row.end, row.start + columns);
    // The selected part of this row, as byte offsets; a selected break shows as one cell.
    size_t a = shownEnd, b = shownEnd;
    if (HasSelection() && Pos{row.block, row.start} <= to && from <= Pos{row.block, row.end}) {
      a = from.block == row.block ? std::max(from.col, row.start) : row.start;
      b = to.block == row.block ? std::min(to.col, row.end) : row.end + 1;
      a = std::min(a, shownEnd);
      b = std::clamp(b, a, shownEnd + (row.end == line.size() && to.block != row.block ? 1 : 0));
    }
    auto x = [&](size_t col) {
      return kMargin + static_cast<double>(col - row.start) * charWidth_;
    };
    const QString shown = PaneText(std::string_view(line).substr(row.start, shownEnd - row.start));
    painter.setPen(colors.color(QPalette::Text));
    painter.drawText(QPointF(x(row.start), y + ascent_), shown);
    if (a < b) {
      painter.fillRect(QRectF(x(a), y, (b - a) * charWidth_, lineHeight_),
                       colors.color(QPalette::Highlight));
      painter.setPen(colors.color(QPalette::HighlightedText));
      painter.drawText(QPointF(x(a), y + ascent_),
                       shown.mid(static_cast<qsizetype>(a - row.start),
                                 static_cast<qsizetype>(std::min(b, shownEnd) - a)));
    }
    const bool cursorHere = cursor_.block == row.block && cursor_.col >= row.start &&
                            (cursor_.col < row.end || row.end == line.size());
    if (hasFocus() && cursorHere) {
      const double cx = x(std::min(cursor_.col, shownEnd));
      painter.setPen(colors.color(QPalette::Text));
      painter.drawLine(QPointF(cx, y), QPointF(cx, y + lineHeight_ - 1));
    }
    y += lineHeight_;
  }
}

void LogPane::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateView(true);
}

void LogPane::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    MeasureFont();
    UpdateView(true);
    viewport()->update();
  }
}

LogPane::Pos LogPane::HitTest(const QPoint& point) const {
  const std::vector<Row> rows = RowsOnScreen();
  if (rows.empty()) return text_.End();
  const int index = (point.y() - kMargin) / lineHeight_;
  if (point.y() < kMargin) return {rows.front().block, rows.front().start};
  if (index >= static_cast<int>(rows.size())) return text_.End();
  const Row& row = rows[static_cast<size_t>(index)];
  const double cells = std::max(0.0, (point.x() - kMargin) / charWidth_);
  const size_t col = row.start + static_cast<size_t>(std::lround(cells));
  // A click past the end of a wrapped row lands before the row's last character.
  const size_t last = row.end == text_.Block(row.block).size() ? row.end : row.end - 1;
  return {row.block, std::min(col, last)};
}
