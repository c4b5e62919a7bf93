#pragma once
// The results file of one run of the Omron loop: every line port 1's pane showed from the run's
// start, in the pane's saved form (CP1254, CR LF after each line), even where the pane has
// since dropped its oldest lines to stay within its bound.
//
// Each look at the pane finds where its lines take up from those seen the time before: lines
// the pane dropped in between stay in the file as they were (or are written from what was
// seen, where the file does not hold them yet), the rest of the file is rewritten from the
// pane. The last
// line may have grown since (received bytes extend it). If the pane no longer continues the
// earlier lines at all (the user cleared or edited it), the earlier lines all stay and the
// pane's lines follow them.

#include <cstdint>
#include <string>
#include <vector>

class ResultsFile {
 public:
  // Starts a run with the pane's lines as they are; the first save creates the file anew.
  void Begin(std::string path, std::vector<std::string> paneLines);
  // Throws std::runtime_error with the file's name when it cannot be created or written; the
  // next save then tries again from where the last good one left the file.
  void Save(const std::vector<std::string>& paneLines);
  // Saves only when the pane has dropped lines since it was last seen, so that none is lost
  // between saves.
  void SaveIfPaneDropped(const std::vector<std::string>& paneLines);

 private:
  void Look(const std::vector<std::string>& paneLines, bool save);

  std::string path_;
  std::vector<std::string> seen_;  // the pane's lines when last seen
  bool onDisk_ = false;            // a save of this run has written the file
  size_t savedLines_ = 0;          // lines of that save, the first of seen_ since
  uint64_t keptBytes_ = 0;         // bytes before them in the file: lines the pane dropped
};
