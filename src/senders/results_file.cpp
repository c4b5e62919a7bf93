#include "senders/results_file.h"

#include <algorithm>
#include <stdexcept>

#include "platform/cp1254.h"
#include "platform/file_io.h"

namespace {

uint64_t SavedSize(const std::string& line) {
  return line.size() + 2;
}

// How many of the earlier lines are gone from the front of the pane: the smallest k for which
// the pane starts with earlier[k..] (the last of them possibly extended). Every earlier line
// when the pane does not continue them. Linear in the lines: a search over the earlier lines
// for the longest tail that the pane begins with (Knuth-Morris-Pratt, lines as symbols).
size_t DroppedLines(const std::vector<std::string>& earlier, const std::vector<std::string>& now) {
  if (earlier.empty()) return 0;
  const size_t whole = earlier.size() - 1;  // lines that must match exactly; the last may grow
  const std::string& last = earlier.back();
  std::vector<size_t> border(now.size(), 0);
  for (size_t i = 1, q = 0; i < now.size(); ++i) {
    while (q > 0 && now[i] != now[q]) q = border[q - 1];
    if (now[i] == now[q]) ++q;
    border[i] = q;
  }
  size_t q = 0;  // the longest tail of earlier[0..i] that the pane begins with
  for (size_t i = 0; i < whole && !now.empty(); ++i) {
    if (q == now.size()) q = border[q - 1];
    while (q > 0 && earlier[i] != now[q]) q = border[q - 1];
    if (earlier[i] == now[q]) ++q;
  }
  for (;;) {
    if (q < now.size() && now[q].compare(0, last.size(), last) == 0) return whole - q;
    if (q == 0) return earlier.size();
    q = border[q - 1];
  }
}

[[noreturn]] void Fail(const char* what, const std::string& path, const std::string& reason) {
  throw std::runtime_error(
      platform::Utf8ToCp1254(std::string(what) + " file \"" + path + "\". " + reason));
}

void AppendSaved(std::string& text, const std::string& line) {
  text += line;
  text += "\r\n";
}

}  // namespace

void ResultsFile::Begin(std::string path, std::vector<std::string> paneLines) {
  path_ = std::move(path);
  seen_ = std::move(paneLines);
  onDisk_ = false;
  savedLines_ = 0;
  keptBytes_ = 0;
}

void ResultsFile::Save(const std::vector<std::string>& paneLines) {
  Look(paneLines, true);
}

void ResultsFile::SaveIfPaneDropped(const std::vector<std::string>& paneLines) {
  Look(paneLines, false);
}

void ResultsFile::Look(const std::vector<std::string>& paneLines, bool save) {
  const size_t dropped = DroppedLines(seen_, paneLines);
  if (!save && dropped == 0) {
    seen_ = paneLines;
    return;
  }
  // Of the lines dropped, those of the last save are in the file already (but its last line,
  // which may have grown since); the others go out now, before the pane's lines.
  size_t reused = onDisk_ && savedLines_ > 0 ? std::min(dropped, savedLines_ - 1) : 0;
  uint64_t offset = keptBytes_;
  for (size_t i = 0; i < reused; ++i) offset += SavedSize(seen_[i]);

  platform::WritableFile file;
  if (!file.Open(path_, !onDisk_)) Fail("Cannot create", path_, file.Reason());
  // A file cut short by someone else since the last save cannot be continued: start it anew.
  if (file.Size() < offset) {
    offset = 0;
    reused = 0;
  }
  std::string text;
  for (size_t i = reused; i < dropped; ++i) AppendSaved(text, seen_[i]);
  const uint64_t kept = offset + text.size();
  for (const std::string& line : paneLines) AppendSaved(text, line);

  const bool ok = file.Truncate(offset) && file.WriteAt(offset, text);
  const std::string writeError = file.Reason();
  const bool closed = file.Close();
  if (!ok || !closed) Fail("Cannot write", path_, ok ? file.Reason() : writeError);
  seen_ = paneLines;
  onDisk_ = true;
  savedLines_ = paneLines.size();
  keptBytes_ = kept;
}
