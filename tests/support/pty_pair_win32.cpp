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

bool Exists(const std::string& unixPath) {
  return GetFileAttributesA(WinePath(unixPath).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Starts a Linux program with its output sent nowhere: a test runner reading this process's
// output must not wait for it.
void StartLinuxProgram(std::string commandLine) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE nul =
      CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
  PROCESS_INFORMATION info{};
  const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &info);
  CloseHandle(nul);
  if (!started) throw std::runtime_error("cannot start " + commandLine);
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
