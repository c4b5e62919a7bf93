#include "cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

CliProcess::CliProcess(const std::string& program, const std::vector<std::string>& args,
                       const std::string& stdoutFile, const std::vector<std::string>& environment) {
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  std::vector<char*> argv;
  std::string path = program;
  argv.push_back(path.data());
  std::vector<std::string> copies(args);
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> env(environment);

  pid_ = fork();
  if (pid_ == 0) {
    const bool toFile = !stdoutFile.empty() && stdoutFile != kClosedStdout;
    const int file =
        toFile ? open(stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644) : -1;
    dup2(file >= 0 ? file : out[1], 1);
    if (stdoutFile == kClosedStdout) close(1);
    dup2(err[1], 2);
    close_range(3, ~0U, 0);  // the test's pseudo-terminals stay with the test
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("QT_QPA_PLATFORM");
    for (std::string& entry : env) putenv(entry.data());
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  outFd_ = out[0];
  errFd_ = err[0];
}

CliProcess::~CliProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (outFd_ >= 0) close(outFd_);
  close(errFd_);
}

void CliProcess::Drain(int timeoutMs) {
  // poll() passes over a negative descriptor.
  pollfd fds[2] = {{readingStdout_ ? outFd_ : -1, POLLIN, 0}, {errFd_, POLLIN, 0}};
  if (poll(fds, 2, timeoutMs) <= 0) return;
  static thread_local char buffer[1 << 16];
  for (int i = 0; i < 2; ++i) {
    if ((fds[i].revents & (POLLIN | POLLHUP)) == 0) continue;
    const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
    if (n > 0) (i == 0 ? out_ : err_).append(buffer, static_cast<size_t>(n));
  }
}

std::vector<std::string> CliProcess::Lines() {
  Drain(0);
  std::vector<std::string> lines;
  size_t from = 0;
  for (size_t end; (end = out_.find('\n', from)) != std::string::npos; from = end + 1) {
    lines.push_back(out_.substr(from, end - from));
  }
  return lines;
}

bool CliProcess::WaitForLine(const std::function<bool(const std::string&)>& pred,
                             std::chrono::milliseconds deadline) {
  const auto until = Clock::now() + deadline;
  size_t from = 0;  // the first line not looked at yet
  for (;;) {
    Drain(0);
    for (size_t end; (end = out_.find('\n', from)) != std::string::npos; from = end + 1) {
      if (pred(out_.substr(from, end - from))) return true;
    }
    if (Clock::now() >= until) return false;
    Drain(10);
  }
}

void CliProcess::Signal(int signal) {
  kill(pid_, signal);
}

void CliProcess::SetReadingStdout(bool reading) {
  fcntl(outFd_, F_SETPIPE_SZ, reading ? 1 << 16 : 4096);
  readingStdout_ = reading;
}

void CliProcess::CloseStdoutReader() {
  close(outFd_);
  outFd_ = -1;
}

int CliProcess::Wait(std::chrono::milliseconds deadline) {
  const auto until = Clock::now() + deadline;
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (Clock::now() >= until) return -1;
    Drain(10);
  }
  pid_ = -1;
  for (size_t before = SIZE_MAX; before != out_.size() + err_.size();) {
    before = out_.size() + err_.size();
    Drain(0);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
