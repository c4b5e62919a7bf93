#pragma once
// Writes each event of wirelab-cli as a line to stdout and, when given, to the log file,
// each through a thread of its own (BackgroundWriter): the ports' work never waits for a
// reader or a disk.
//
// Stdout may fall behind by kStdoutMaxWaiting bytes; lines past that are dropped and counted,
// and once the reader has taken what waited one line says how many were not shown. The log keeps
// every line: when it falls kLogMaxStall behind (or kLogMaxWaiting bytes), that is a failure.
//
// A failure ends the program: a stdout whose reader has gone as SIGTERM would end it,
// without a word; any other failure with its reason on stderr and exit code 1.
//
// Main thread only, but onFailure, which may be called on any thread, before this object is
// destroyed.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "cli/background_writer.h"
#include "cli/cli_events.h"

class CliEventWriter {
 public:
  static constexpr size_t kStdoutMaxWaiting = 1 << 20;
  static constexpr size_t kLogMaxWaiting = 64 << 20;
  static constexpr std::chrono::milliseconds kLogMaxStall{10'000};
  // At the end, stdout gets its last lines unless it has taken nothing for this long.
  static constexpr std::chrono::milliseconds kStdoutEndStall{1'000};

  struct Failure {
    bool failed = false;
    int exitCode = 0;
    std::string message;  // for stderr; empty when the program ends without a word
  };

  CliEventWriter(bool json, std::function<void()> onFailure);
  ~CliEventWriter();
  CliEventWriter(const CliEventWriter&) = delete;
  CliEventWriter& operator=(const CliEventWriter&) = delete;

  // False, with the reason, when the file cannot be opened for appending.
  bool OpenLog(const std::string& path, std::string& reason);
  void Write(const CliEvent& event);
  // A failure when the log has taken nothing for kLogMaxStall; called each second as well
  // as with each line, so a stalled log is found on a quiet line too.
  void CheckLog();
  // Waits for the log to take every line and for stdout while it still takes them.
  void Finish();
  // The first failure; failed is false while there is none.
  Failure FirstFailure() const;

 private:
  void Fail(int exitCode, std::string message);
  void FailStalledLog();

  bool json_;
  std::function<void()> onFailure_;
  std::string logPath_;       // as messages show it
  mutable std::mutex mutex_;  // guards failure_
  Failure failure_;
  std::unique_ptr<BackgroundWriter> stdout_;
  std::unique_ptr<BackgroundWriter> log_;
};
