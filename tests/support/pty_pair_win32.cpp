// Under Wine: socat makes two pseudo-terminals and copies between them; WireLab opens one by
// its Z: path, which Wine takes for a serial device, and the test holds the other. Wine starts
// Linux programs through CreateProcess as it starts Windows ones, but hands back no handle for
// them, so socat is ended by its own names through pkill; it removes those names as it ends.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>

#include "pty_pair.h"
#include "test_support.h"

namespace {

std::string WinePath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// By the folder's list: Wine cannot read the attributes of a link to a terminal.
bool Exists(const std::string& unixPath) {
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(WinePath(unixPath).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// Starts a Linux program through the shell with its output sent nowhere: a test runner that
// reads this process's output must not wait for the program (Wine hands a Linux program the
// process's own output, whatever the standard handles given).
void StartLinuxProgram(const std::string& command) {
  std::string commandLine = "/bin/sh -c \"exec " + command + " </dev/null >/dev/null 2>&1\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    throw std::runtime_error("cannot start " + command);
  }
  if (info.hProcess != nullptr) CloseHandle(info.hProcess);
  if (info.hThread != nullptr) CloseHandle(info.hThread);
}

HANDLE Peer(intptr_t peer) {
  return reinterpret_cast<HANDLE>(peer);
}

void SetReadTimeouts(intptr_t peer, DWORD interval, DWORD multiplier, DWORD constant) {
  COMMTIMEOUTS timeouts{interval, multiplier, constant, 0, 0};
  SetCommTimeouts(Peer(peer), &timeouts);
}

}  // namespace

PtyPair::PtyPair(const std::string& name) {
  static std::atomic<int> made{0};
  const std::string dir = "/tmp/wirelab-pty-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(WinePath(dir).c_str(), nullptr);
  portLink_ = dir + "/" + (name.empty() ? "port" + std::to_string(made++) : name);
  const std::string farLink = portLink_ + ".far";
  StartLinuxProgram("/usr/bin/socat pty,raw,echo=0,link=" + portLink_ +
                    " pty,raw,echo=0,link=" + farLink);
  if (!WaitUntil([&] { return Exists(portLink_) && Exists(farLink); })) {
    throw std::runtime_error("socat made no pseudo-terminals at " + portLink_);
  }
  slavePath_ = WinePath(portLink_);
  if (!name.empty()) namedPath_ = slavePath_;
  const HANDLE peer = CreateFileA(WinePath(farLink).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (peer == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open the far terminal");
  peer_ = reinterpret_cast<intptr_t>(peer);
}

PtyPair::~PtyPair() {
  CloseMaster();
}

void PtyPair::CloseMaster() {
  if (peer_ == -1) return;
  CloseHandle(Peer(peer_));
  peer_ = -1;
  // The space after the name keeps "port1" from matching "port10".
  StartLinuxProgram("/usr/bin/pkill -f link=" + portLink_ + "[[:space:]]");
  WaitUntil([&] { return !Exists(portLink_); });
}

void PtyPair::Write(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 65536));
    if (!WriteFile(Peer(peer_), bytes.data() + done, want, &n, nullptr)) {
      throw std::runtime_error("write on the far terminal failed");
    }
    done += n;
  }
}

bool PtyPair::AwaitRoom(std::chrono::milliseconds) {
  return true;
}

size_t PtyPair::WriteSome(const std::vector<uint8_t>& bytes) {
  COMMTIMEOUTS timeouts{};
  GetCommTimeouts(Peer(peer_), &timeouts);
  timeouts.WriteTotalTimeoutConstant = 100;
  SetCommTimeouts(Peer(peer_), &timeouts);
  DWORD n = 0;
  WriteFile(Peer(peer_), bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  timeouts.WriteTotalTimeoutConstant = 0;
  SetCommTimeouts(Peer(peer_), &timeouts);
  return n;
}

void PtyPair::Write(const std::string& bytes) {
  Write(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

std::vector<uint8_t> PtyPair::ReadExactly(size_t count, std::chrono::milliseconds deadline) {
  std::vector<uint8_t> out;
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (out.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    SetReadTimeouts(peer_, 0, 0, static_cast<DWORD>(left.count()));
    uint8_t buf[4096];
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min(sizeof buf, count - out.size()));
    if (!ReadFile(Peer(peer_), buf, want, &n, nullptr)) break;
    out.insert(out.end(), buf, buf + n);
  }
  return out;
}

std::vector<uint8_t> PtyPair::ReadAvailable(std::chrono::milliseconds quiet) {
  std::vector<uint8_t> out;
  // Returns what waits at once, else waits up to quiet for a first byte.
  SetReadTimeouts(peer_, MAXDWORD, MAXDWORD, static_cast<DWORD>(quiet.count()));
  for (;;) {
    uint8_t buf[4096];
    DWORD n = 0;
    if (!ReadFile(Peer(peer_), buf, sizeof buf, &n, nullptr) || n == 0) break;
    out.insert(out.end(), buf, buf + n);
  }
  return out;
}

bool SecondOpenRefused() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr;
}
