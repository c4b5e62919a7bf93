#pragma once
// A program (wirelab-cli) run as a child process, as a rig would run it: stdout and stderr on
// pipes (or stdout into a file, or closed), no display in its environment. Reading never blocks the
// caller for longer than its deadline.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class CliProcess {
 public:
  static constexpr const char* kClosedStdout = "<closed>";  // as stdoutFile

  // environment: "NAME=value" entries added to the child's own.
  CliProcess(const std::string& program, const std::vector<std::string>& args,
             const std::string& stdoutFile = {}, const std::vector<std::string>& environment = {});
  ~CliProcess();  // kills and reaps a child that is still running
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  // The complete lines written to stdout so far.
  std::vector<std::string> Lines();
  // Waits until some complete stdout line satisfies pred; false at the deadline.
  bool WaitForLine(const std::function<bool(const std::string&)>& pred,
                   std::chrono::milliseconds deadline = std::chrono::seconds(20));
  void Signal(int signal);
  // A reader that stops reading stdout (its pipe shrunk to one page), starts again, or goes.
  void SetReadingStdout(bool reading);
  void CloseStdoutReader();
  // Waits for the child to end and returns its exit code; -1 when it did not end in time or
  // ended by a signal.
  int Wait(std::chrono::milliseconds deadline = std::chrono::seconds(20));
  const std::string& Stdout() const { return out_; }
  const std::string& Stderr() const { return err_; }
  pid_t Pid() const { return pid_; }

 private:
  void Drain(int timeoutMs);

  pid_t pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  bool readingStdout_ = true;
  std::string out_, err_;
};
