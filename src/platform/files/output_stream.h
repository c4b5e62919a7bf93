#pragma once
// Output written straight to the system, with no stream buffer in between: a file appended
// to, or the process's standard output. A writer that blocks (a pipe nobody reads, a stalled
// disk) holds no lock that anyone else waits for, not even the program's end. Paths are
// UTF-8.

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

class OutputStream {
 public:
  enum class Result {
    Written,
    Broken,  // a pipe or socket whose reader has gone
    Failed,  // see Reason()
  };

  OutputStream() = default;
  ~OutputStream();
  OutputStream(const OutputStream&) = delete;
  OutputStream& operator=(const OutputStream&) = delete;

  // Appends to the file at path, made when missing.
  bool OpenAppending(const std::string& path);
  // The process's standard output, which this object does not close.
  void UseStandardOutput();
  // Writes all of data, or says why not.
  Result Write(std::string_view data);
  // The system's words for the last failure.
  const std::string& Reason() const { return reason_; }

 private:
  intptr_t native_ = -1;
  bool owned_ = false;
  std::string reason_;
};

// Makes sure that standard input, output and error are open, the null device taking the
// place of one that was closed, so that no file or port the program opens later gets its
// number and with it the program's output. Returns the system's words for why standard
// output cannot be written, or empty when it can.
std::string ReserveStandardStreams();

}  // namespace platform
