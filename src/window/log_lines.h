#pragma once
// LogLines: the text of a log pane, a sequence of blocks of CP1254 bytes.
//
// There is always at least one block. A final empty block is what a line break at the very end
// leaves (the user pressed Enter there); it counts as a line only when AddLine put it there.
// The last line is the last block that holds text, or that added empty line. Received entries
// extend it; an entry that would take a line past kMaxLineChars starts a new one. Characters
// are counted as each block's bytes plus its break; past kMaxChars the oldest whole blocks go,
// leaving at least kKeepChars. Blocks keep their number for life: Number(i) of the first block
// grows as blocks are dropped at the front. Bytes 10 and 13 inside a block are logged text,
// not breaks.
//
// Listeners hear of the text the program adds (lines and entries, not what the user types) and
// of every line dropped at the front, at the moment it happens.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

class LogLines {
 public:
  static constexpr size_t kMaxLineChars = 4096;
  static constexpr size_t kKeepChars = 8 * 1024 * 1024;
  static constexpr size_t kMaxChars = 10 * 1024 * 1024;

  // A place in the text: the block's number and a byte offset in it.
  struct Pos {
    uint64_t block = 0;
    size_t col = 0;
    auto operator<=>(const Pos&) const = default;
  };

  class Listener {
   public:
    // text went into the pane: as a new last line, or at the end of the last line.
    virtual void Added(std::string_view text, bool newLine) = 0;
    // The first line is about to go to keep the bound.
    virtual void Dropping(const std::string& line) = 0;

   protected:
    ~Listener() = default;
  };

  LogLines();

  // A listener stays until removed; it must not change this text.
  void AddListener(Listener* listener);
  void RemoveListener(Listener* listener);

  void AddLine(std::string_view cp1254);
  void ExtendLastLine(std::string_view cp1254);

  // What the user types: text without breaks, a break, and erasing a range.
  void Insert(Pos at, std::string_view cp1254);
  void Break(Pos at);
  void Erase(Pos from, Pos to);

  std::vector<std::string> Lines() const;
  std::string LastLine() const;
  size_t Characters() const { return chars_; }

  size_t BlockCount() const { return blocks_.size(); }
  uint64_t FirstNumber() const { return first_; }
  uint64_t EndNumber() const { return first_ + blocks_.size(); }
  const std::string& Block(uint64_t number) const { return blocks_[number - first_]; }
  // The same place, moved into the text if it lies outside.
  Pos Clamp(Pos at) const;
  Pos End() const { return {EndNumber() - 1, blocks_.back().size()}; }

  // The lowest block other than the last that changed since the last call, or EndNumber()
  // if none did. Whoever caches something per block asks this.
  uint64_t TakeChangedFrom();

 private:
  size_t LastLineIndex() const;
  void NewBlock(std::string_view text);
  void Changed(size_t index);
  void TrimToBound();

  std::deque<std::string> blocks_;
  uint64_t first_ = 0;
  size_t chars_ = 1;
  bool emptyLineAdded_ = false;  // the empty last block is a line that AddLine put there
  uint64_t changedFrom_ = UINT64_MAX;
  // Storage of dropped lines, reused so that a steady stream of entries needs no allocation.
  static constexpr size_t kSpareLines = (kMaxChars - kKeepChars) / kMaxLineChars;
  std::vector<std::string> spares_;
  std::vector<Listener*> listeners_;
};
