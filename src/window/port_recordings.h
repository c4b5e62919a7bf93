#pragma once
// PortRecordings: the recordings of the four ports' panes to files (see PaneCapture). A port
// records from the device menu's item until it is chosen again, or, once told a folder, from
// every tick of "Open" until its un-tick. Each recording's file is kept, and why the last one
// stopped, for the port group's mark and tooltip. Main thread only.

#include <QTimer>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/settings/app_files.h"
#include "window/pane_capture.h"

class LogPane;
class QWidget;

class PortRecordings {
 public:
  // panes are the ports' panes, [1..4], filled in before the first recording; files says where
  // a recording goes when no folder was given; dialogs is the parent of the save dialog;
  // changed(N) runs whenever port N's recording starts, ends or stops on a failure. All of them
  // outlive this object.
  PortRecordings(const std::array<LogPane*, 5>& panes, const platform::AppFiles& files,
                 QWidget* dialogs, std::function<void(int N)> changed);
  ~PortRecordings();
  PortRecordings(const PortRecordings&) = delete;
  PortRecordings& operator=(const PortRecordings&) = delete;

  // Records port N's pane into path, or a numbered name beside it where path exists. A file
  // that cannot be made is a failure, with its reason; no box.
  void StartCapture(int N, const std::string& path);
  // Ends the recording of port N, its file complete; a failure of its last writes stays as
  // the reason it stopped.
  void EndCapture(int N);
  // What keeps a recording from being complete as the window ends, for its user (CP1254): a
  // failure of its last writes, or a disk that did not take them in time (stalled).
  struct Unfinished {
    std::string text;
    bool stalled = false;
  };
  // Ends every recording, all of them within the window's closing time.
  std::vector<Unfinished> EndAllCaptures();
  bool Capturing(int N) const;
  // Port N's last recording stopped on a failure.
  bool CaptureFailed(int N) const;
  // The file of port N's recording, or of its last one; empty before any.
  const std::string& CapturePath(int N) const { return capturePath_[N]; }
  // The tooltip's line for port N's recording; empty when it neither records nor failed to.
  std::string CaptureState(int N) const;

  // Records each port from every tick of "Open" until its un-tick, into folder, under the
  // name that the device menu suggests; the menu suggests that folder too.
  void CaptureOnOpen(std::string folder);
  // A tick (ticked) or an un-tick of port N's "Open".
  void CaptureOnTick(int N, bool ticked);
  // The device menu's recording item: ends a recording, or asks where to start one.
  void CaptureMenuChosen(int N);
  // Asks where to record port N, suggesting a path; empty when the user cancels. Tests
  // replace it.
  std::function<std::optional<std::string>(int N, const std::string& suggested)> AskCapturePath;

 private:
  std::string SuggestedCapturePath(int N) const;
  void HandOverCaptures();
  // Takes port N's recording off its pane and ends it within deadline; why it failed, if it
  // did, stays for the tooltip. False when it was recording and its file is not complete.
  bool FinishCapture(int N, std::chrono::milliseconds deadline);

  const std::array<LogPane*, 5>& panes_;
  const platform::AppFiles& files_;
  QWidget* const dialogs_;
  const std::function<void(int N)> changed_;
  std::array<std::unique_ptr<PaneCapture>, 5> captures_;  // [1..4]; empty: not recording
  std::array<std::string, 5> capturePath_;                // [1..4]: the file of the last recording
  std::array<std::string, 5> captureFailure_;             // [1..4]: why the last recording stopped
  std::array<bool, 5> captureByTick_{};  // [1..4]: the recording ends with the un-tick
  // Where every tick records and the menu suggests; empty: no tick records, and the menu
  // suggests the output folder.
  std::string captureFolder_;
  QTimer captureTimer_;  // hands the recordings' text to their files
};
