#pragma once
// The results file of one run of the Omron loop: every line port 1's pane dropped to stay
// within its bound since the run began, then the pane's lines as they are at the save, all in
// the pane's saved form (CP1254, CR LF after each line).
//
// Dropped lines go to the file as they drop, by a thread of its own, so that a pane that fills
// faster than the loop saves loses nothing; a save writes the pane's lines after them and
// waits until the file holds them. Main thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/files/background_file.h"

class ResultsFile {
 public:
  ResultsFile() = default;
  ~ResultsFile();
  ResultsFile(const ResultsFile&) = delete;
  ResultsFile& operator=(const ResultsFile&) = delete;

  // Starts a run; its first save or dropped line creates the file anew.
  void Begin(std::string path);
  // A line the pane is dropping: it stays in the file, ahead of the pane's lines.
  void Dropped(const std::string& line);
  // Hands the dropped lines collected so far to the file. Throws std::runtime_error with a
  // message for the window's box (Turkish, CP1254) naming the file when it could not be
  // created or written since the run began; that error holds for the rest of the run.
  void KeepDropped();
  // Writes the pane's lines after the dropped ones and waits until the file holds them.
  // Throws as KeepDropped does.
  void Save(const std::vector<std::string>& paneLines);

 private:
  void HandOver();
  void ThrowIfFailed();
  bool OpenFile();

  std::string path_;
  std::unique_ptr<platform::BackgroundFile> file_;
  std::string dropped_;  // dropped lines not yet handed over
  uint64_t kept_ = 0;    // bytes of dropped lines handed over: the pane's lines follow them
  std::string failure_;  // the message of the first failure of this run
};
