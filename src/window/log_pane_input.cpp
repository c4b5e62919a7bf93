// LogPane: what the user does with the pane: the cursor, selecting, copying and typing.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>

#include "window/log_pane.h"
#include "window/pane_text.h"

QString LogPane::SelectedText() const {
  const Pos from = text_.Clamp(std::min(anchor_, cursor_));
  const Pos to = text_.Clamp(std::max(anchor_, cursor_));
  QString out;
  for (uint64_t b = from.block; b <= to.block; ++b) {
    const std::string_view line = text_.Block(b);
    const size_t start = b == from.block ? from.col : 0;
    const size_t end = b == to.block ? to.col : line.size();
    if (b != from.block) out += QChar(u'\n');
    out += PaneText(line.substr(start, end - start));
  }
  return out;
}

void LogPane::Select(Pos anchor, Pos cursor) {
  anchor_ = text_.Clamp(anchor);
  cursor_ = text_.Clamp(cursor);
  viewport()->update();
}

void LogPane::MoveCursor(Pos to, bool keepAnchor) {
  Select(keepAnchor ? anchor_ : to, to);
}

void LogPane::Copy() const {
  if (HasSelection()) QApplication::clipboard()->setText(SelectedText());
}

void LogPane::EraseSelection() {
  if (!HasSelection()) return;
  const Pos from = text_.Clamp(std::min(anchor_, cursor_));
  text_.Erase(from, std::max(anchor_, cursor_));
  Select(from, from);
  TextChanged();
}

void LogPane::InsertTyped(const QString& text) {
  EraseSelection();
  Pos at = text_.Clamp(cursor_);
  QString piece;
  auto put = [&] {
    const std::string bytes = PaneBytes(piece);
    text_.Insert(at, bytes);
    at.col += bytes.size();
    piece.clear();
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator) {
      if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') ++i;
      put();
      text_.Break(at);
      at = {at.block + 1, 0};
    } else {
      piece += c;
    }
  }
  put();
  Select(at, at);
  TextChanged();
}

void LogPane::keyPressEvent(QKeyEvent* event) {
  if (event == QKeySequence::Copy) return Copy();
  if (event == QKeySequence::Cut) {
    Copy();
    return EraseSelection();
  }
  if (event == QKeySequence::Paste) return InsertTyped(QApplication::clipboard()->text());
  if (event == QKeySequence::SelectAll) return Select({text_.FirstNumber(), 0}, text_.End());

  const bool shift = event->modifiers() & Qt::ShiftModifier;
  const bool control = event->modifiers() & Qt::ControlModifier;
  const Pos at = text_.Clamp(cursor_);
  const size_t length = text_.Block(at.block).size();
  const bool firstBlock = at.block == text_.FirstNumber();
  const bool lastBlock = at.block + 1 == text_.EndNumber();
  const Pos before = at.col > 0    ? Pos{at.block, at.col - 1}
                     : !firstBlock ? Pos{at.block - 1, text_.Block(at.block - 1).size()}
                                   : at;
  const Pos after = at.col < length ? Pos{at.block, at.col + 1}
                    : !lastBlock    ? Pos{at.block + 1, 0}
                                    : at;
  switch (event->key()) {
    case Qt::Key_Left:
      return MoveCursor(before, shift);
    case Qt::Key_Right:
      return MoveCursor(after, shift);
    case Qt::Key_Up:
      return MoveCursor(firstBlock ? Pos{at.block, 0} : Pos{at.block - 1, at.col}, shift);
    case Qt::Key_Down:
      return MoveCursor(lastBlock ? Pos{at.block, length} : Pos{at.block + 1, at.col}, shift);
    case Qt::Key_Home:
      return MoveCursor(control ? Pos{text_.FirstNumber(), 0} : Pos{at.block, 0}, shift);
    case Qt::Key_End:
      return MoveCursor(control ? text_.End() : Pos{at.block, length}, shift);
    case Qt::Key_PageUp:
      return verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    case Qt::Key_PageDown:
      return verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return InsertTyped(QStringLiteral("\n"));
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
      if (!HasSelection()) {
        anchor_ = event->key() == Qt::Key_Backspace ? before : after;
        cursor_ = at;
      }
      return EraseSelection();
    default:
      break;
  }
  const QString typed = event->text();
  const bool printable =
      !typed.isEmpty() && !control &&
      std::all_of(typed.begin(), typed.end(), [](QChar c) { return c.isPrint(); });
  if (printable) return InsertTyped(typed);
  QAbstractScrollArea::keyPressEvent(event);
}

void LogPane::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const Pos at = HitTest(event->position().toPoint());
  MoveCursor(at, event->modifiers() & Qt::ShiftModifier);
  selecting_ = true;
}

void LogPane::mouseMoveEvent(QMouseEvent* event) {
  if (!selecting_ || !(event->buttons() & Qt::LeftButton)) return;
  const QPoint point = event->position().toPoint();
  // Dragging past the top or the bottom scrolls.
  if (point.y() < 0) verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  if (point.y() > viewport()->height()) {
    verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  }
  MoveCursor(HitTest(point), true);
}

void LogPane::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  selecting_ = false;
  QClipboard* clipboard = QApplication::clipboard();
  if (HasSelection() && clipboard->supportsSelection()) {
    clipboard->setText(SelectedText(), QClipboard::Selection);
  }
}

void LogPane::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  // The word under the pointer: the run of characters between blanks.
  const Pos at = HitTest(event->position().toPoint());
  const std::string& line = text_.Block(at.block);
  size_t start = at.col, end = at.col;
  while (start > 0 && line[start - 1] != ' ') --start;
  while (end < line.size() && line[end] != ' ') ++end;
  Select({at.block, start}, {at.block, end});
}

void LogPane::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* cut = menu.addAction(QStringLiteral("&Kes"), [this] {
    Copy();
    EraseSelection();
  });
  QAction* copy = menu.addAction(QStringLiteral("K&opyala"), [this] { Copy(); });
  menu.addAction(QString::fromUtf8("&Yapıştır"),
                 [this] { InsertTyped(QApplication::clipboard()->text()); });
  QAction* erase = menu.addAction(QStringLiteral("&Sil"), [this] { EraseSelection(); });
  menu.addSeparator();
  menu.addAction(QString::fromUtf8("&Tümünü Seç"), [this] {
    Select({text_.FirstNumber(), 0}, text_.End());
  });
  for (QAction* action : {cut, copy, erase}) action->setEnabled(HasSelection());
  if (ExtendMenu) {
    menu.addSeparator();
    ExtendMenu(&menu);
  }
  menu.exec(event->globalPos());
}
