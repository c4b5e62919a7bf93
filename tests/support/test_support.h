#pragma once
// Shared test helpers: the message box seam, a temporary directory that stands for the
// executable's directory, and waiting on a condition with a deadline; and the manual clock.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "manual_clock.h"
#include "window/message_boxes.h"

// Captures message boxes instead of showing them, unless told to show the real ones.
class MessageBoxCapture : public platform::MessageBoxes {
 public:
  std::vector<std::string> Messages;               // CP1254, in the order shown
  std::function<void(const std::string&)> OnShow;  // runs inside the "modal" box
  bool ShowRealBoxes = false;

 protected:
  void Present(const std::string& text) override;
};

// A fresh directory that stands for the program's folder (WireLab.ini, OmronResults.txt); the
// window is given it.
class TempAppDir {
 public:
  TempAppDir();
  ~TempAppDir();
  const std::string& Path() const { return path_; }  // with trailing "/"
  void WriteFile(const std::string& name, const std::string& content) const;
  std::string ReadFile(const std::string& name) const;

 private:
  std::string path_;
};

// Processes events until pred holds or the deadline passes; returns pred().
bool WaitUntil(const std::function<bool()>& pred,
               std::chrono::milliseconds deadline = std::chrono::milliseconds(20000));

// UTF-8 to CP1254, for expectations written in the test source.
std::string Cp(const std::string& utf8);
