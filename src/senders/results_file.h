#pragma once
// The results file of one run of the Omron loop: every line port 1's pane showed from the run's
// start, in the pane's saved form (CP1254, CR LF after each line), even where the pane has
// since dropped its oldest lines to stay within its bound.
//
// Each save finds where the pane's lines take up from those the previous save saw: lines the
// pane dropped in between stay in the file as they were, the rest of the file is rewritten
// from the pane. The last line may have grown since (received bytes extend it). If the pane
// no longer continues the earlier lines at all (the user cleared or edited it), the earlier
// lines all stay and the pane's lines follow them.

#include <cstdint>
#include <string>
#include <vector>

class ResultsFile {
 public:
  // Starts a run: the next save creates the file anew at path.
  void Begin(std::string path);
  // Throws std::runtime_error with the file's name when it cannot be created or written; the
  // next save then tries again from where the last good one left the file.
  void Save(const std::vector<std::string>& paneLines);

 private:
  std::string path_;
  bool started_ = false;
  std::vector<std::string> seen_;  // the pane's lines at the last save
  uint64_t keptBytes_ = 0;         // bytes before them in the file: lines the pane dropped
};
