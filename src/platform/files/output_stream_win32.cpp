#include <windows.h>

#include <algorithm>

#include "platform/files/output_stream.h"
#include "platform/text/win32_text.h"

namespace platform {

OutputStream::~OutputStream() {
  if (owned_) CloseHandle(reinterpret_cast<HANDLE>(native_));
}

bool OutputStream::OpenAppending(const std::string& path) {
  const HANDLE h =
      CreateFileW(ToWide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    reason_ = SystemErrorText(GetLastError());
    return false;
  }
  native_ = reinterpret_cast<intptr_t>(h);
  owned_ = true;
  return true;
}

void OutputStream::UseStandardOutput() {
  native_ = reinterpret_cast<intptr_t>(GetStdHandle(STD_OUTPUT_HANDLE));
  owned_ = false;
}

OutputStream::Result OutputStream::Write(std::string_view data) {
  const HANDLE h = reinterpret_cast<HANDLE>(native_);
  for (size_t done = 0; done < data.size();) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1 << 20));
    if (h == nullptr || h == INVALID_HANDLE_VALUE ||
        !WriteFile(h, data.data() + done, chunk, &n, nullptr)) {
      const DWORD error =
          h == nullptr || h == INVALID_HANDLE_VALUE ? ERROR_INVALID_HANDLE : GetLastError();
      reason_ = SystemErrorText(error);
      return error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA ? Result::Broken : Result::Failed;
    }
    if (n == 0) {
      reason_ = SystemErrorText(ERROR_WRITE_FAULT);
      return Result::Failed;
    }
    done += n;
  }
  return Result::Written;
}

std::string ReserveStandardStreams() {
  // A Windows program gets no handle numbers in place of closed standard ones; a missing
  // standard output shows at the first write.
  return {};
}

}  // namespace platform
