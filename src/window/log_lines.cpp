#include "window/log_lines.h"

#include <algorithm>

LogLines::LogLines() : blocks_(1) {}

size_t LogLines::LastLineIndex() const {
  const size_t last = blocks_.size() - 1;
  if (blocks_[last].empty() && !emptyLineAdded_ && last > 0) return last - 1;
  return last;
}

void LogLines::Changed(size_t index) {
  changedFrom_ = std::min(changedFrom_, first_ + index);
}

uint64_t LogLines::TakeChangedFrom() {
  const uint64_t from = std::min(changedFrom_, EndNumber());
  changedFrom_ = UINT64_MAX;
  return from;
}

void LogLines::NewBlock(std::string_view text) {
  // The line before gives back the room it kept for entries it no longer takes.
  std::string& before = blocks_.back();
  if (before.capacity() > before.size() + kMaxLineChars / 8) before.shrink_to_fit();
  blocks_.emplace_back(text);
}

void LogLines::AddListener(Listener* listener) {
  listeners_.push_back(listener);
}

void LogLines::RemoveListener(Listener* listener) {
  std::erase(listeners_, listener);
}

void LogLines::AddLine(std::string_view cp1254) {
  for (Listener* listener : listeners_) listener->Added(cp1254, true);
  // An empty last block left by a final line break is where the new line goes; otherwise,
  // and after an empty line added here, it follows a line break.
  if (blocks_.back().empty() && !emptyLineAdded_) {
    blocks_.back().assign(cp1254);
  } else {
    NewBlock(cp1254);
    ++chars_;
  }
  chars_ += cp1254.size();
  emptyLineAdded_ = cp1254.empty();
  TrimToBound();
}

void LogLines::ExtendLastLine(std::string_view cp1254) {
  const size_t index = LastLineIndex();
  std::string& line = blocks_[index];
  if (!line.empty() && line.size() + cp1254.size() > kMaxLineChars) {
    if (index + 1 < blocks_.size()) {
      // AddLine tells the listeners.
      AddLine(cp1254);  // into the empty block after the full line
      return;
    }
    for (Listener* listener : listeners_) listener->Added(cp1254, true);
    NewBlock(cp1254);
    chars_ += cp1254.size() + 1;
  } else {
    for (Listener* listener : listeners_) listener->Added(cp1254, false);
    // A line that takes entries takes them until it is full: room for all of them at once
    // saves growing it step by step, a copy each time.
    if (line.capacity() < kMaxLineChars) {
      if (spares_.empty()) {
        line.reserve(kMaxLineChars);
      } else {
        spares_.back().assign(line);
        line.swap(spares_.back());
        spares_.pop_back();
      }
    }
    line.append(cp1254);
    chars_ += cp1254.size();
    if (index + 1 < blocks_.size()) Changed(index);
  }
  TrimToBound();
}

void LogLines::TrimToBound() {
  if (chars_ <= kMaxChars) return;
  // Whole lines go from the front, so that no line is left half; at least kKeepChars stay.
  const size_t cut = chars_ - kKeepChars;
  size_t removed = 0;
  while (blocks_.size() > 1 && removed + blocks_.front().size() + 1 <= cut) {
    removed += blocks_.front().size() + 1;
    for (Listener* listener : listeners_) listener->Dropping(blocks_.front());
    // Full lines go to the spares, for the lines that take entries next.
    if (blocks_.front().capacity() >= kMaxLineChars && spares_.size() < kSpareLines) {
      spares_.push_back(std::move(blocks_.front()));
    }
    blocks_.pop_front();
    ++first_;
  }
  chars_ -= removed;
}

LogLines::Pos LogLines::Clamp(Pos at) const {
  if (at.block < first_) return {first_, 0};
  if (at.block >= EndNumber()) return End();
  return {at.block, std::min(at.col, Block(at.block).size())};
}

void LogLines::Insert(Pos at, std::string_view cp1254) {
  at = Clamp(at);
  blocks_[at.block - first_].insert(at.col, cp1254);
  chars_ += cp1254.size();
  emptyLineAdded_ = false;
  Changed(at.block - first_);
}

void LogLines::Break(Pos at) {
  at = Clamp(at);
  const size_t index = at.block - first_;
  std::string tail = blocks_[index].substr(at.col);
  blocks_[index].resize(at.col);
  blocks_.insert(blocks_.begin() + static_cast<long>(index) + 1, std::move(tail));
  ++chars_;
  emptyLineAdded_ = false;
  Changed(index);
}

void LogLines::Erase(Pos from, Pos to) {
  from = Clamp(from);
  to = Clamp(to);
  if (to < from) std::swap(from, to);
  if (from == to) return;
  const size_t a = from.block - first_;
  const size_t b = to.block - first_;
  const size_t before = chars_;
  size_t gone = 0;
  for (size_t i = a; i <= b; ++i) gone += blocks_[i].size() + 1;
  std::string joined = blocks_[a].substr(0, from.col) + blocks_[b].substr(to.col);
  blocks_.erase(blocks_.begin() + static_cast<long>(a) + 1,
                blocks_.begin() + static_cast<long>(b) + 1);
  blocks_[a] = std::move(joined);
  chars_ = before - gone + blocks_[a].size() + 1;
  emptyLineAdded_ = false;
  Changed(a);
}

std::vector<std::string> LogLines::Lines() const {
  std::vector<std::string> lines(blocks_.begin(), blocks_.end());
  if (lines.back().empty() && !emptyLineAdded_) lines.pop_back();
  return lines;
}

std::string LogLines::LastLine() const {
  return blocks_[LastLineIndex()];
}
