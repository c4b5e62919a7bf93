#include <windows.h>

#include "platform/files/file_io.h"
#include "platform/files/file_io_detail.h"
#include "platform/files/system_reason.h"
#include "platform/text/win32_text.h"

namespace platform {
namespace {

HANDLE Handle(intptr_t native) {
  return reinterpret_cast<HANDLE>(native);
}

std::string LastError(Language language) {
  return SystemReason(GetLastError(), language);
}

}  // namespace

SmallFile ReadSmallFile(const std::string& path, size_t maxBytes, Language language) {
  SmallFile file;
  const HANDLE h =
      CreateFileW(ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    file.status = err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND
                      ? SmallFile::Status::Missing
                      : SmallFile::Status::Failed;
    file.reason = SystemReason(err, language);
    return file;
  }
  file.status = SmallFile::Status::Failed;
  LARGE_INTEGER size{};
  if (GetFileType(h) != FILE_TYPE_DISK) {
    file.reason = detail::NotRegularFileText(language);
  } else if (!GetFileSizeEx(h, &size)) {
    file.reason = LastError(language);
  } else if (static_cast<uint64_t>(size.QuadPart) > maxBytes) {
    file.reason = detail::TooLargeText(maxBytes, language);
  } else {
    file.content.resize(static_cast<size_t>(size.QuadPart));
    DWORD done = 0;
    if (ReadFile(h, file.content.data(), static_cast<DWORD>(file.content.size()), &done, nullptr)) {
      file.content.resize(done);
      file.status = SmallFile::Status::Read;
    } else {
      file.reason = LastError(language);
    }
  }
  CloseHandle(h);
  if (file.status != SmallFile::Status::Read) file.content.clear();
  return file;
}

std::string ResolveLinks(const std::string& path) {
  return path;
}

bool ReplaceFileContent(const std::string& path, std::string_view content, std::string& step,
                        std::string& reason, Language language) {
  using detail::ReplaceStep;
  const std::wstring target = ToWide(path);
  const std::wstring temp = target + L".new";
  const HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    step = detail::ReplaceStepText(ReplaceStep::WriteInFolder, language);
    reason = LastError(language);
    return false;
  }
  DWORD written = 0;
  const bool wrote =
      WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
      written == content.size() && FlushFileBuffers(h);
  const DWORD writeError = GetLastError();
  CloseHandle(h);
  if (!wrote) {
    DeleteFileW(temp.c_str());
    step = detail::ReplaceStepText(ReplaceStep::Write, language);
    reason = SystemReason(writeError, language);
    return false;
  }
  if (!MoveFileExW(temp.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    reason = LastError(language);
    DeleteFileW(temp.c_str());
    step = detail::ReplaceStepText(ReplaceStep::Replace, language);
    return false;
  }
  return true;
}

namespace detail {

const char kPathSeparators[] = "/\\";

FolderCheck CheckFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FolderCheck::Missing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FolderCheck::Folder
                                                      : FolderCheck::NotFolder;
}

bool MakeFolder(const std::string& path, std::string& reason, Language language) {
  if (CreateDirectoryW(ToWide(path).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) {
    return true;
  }
  reason = LastError(language);
  return false;
}

}  // namespace detail

WritableFile::~WritableFile() {
  if (open_) CloseHandle(Handle(native_));
}

bool WritableFile::Open(const std::string& path, bool truncate) {
  bool existed = false;
  return OpenWith(path, truncate ? CREATE_ALWAYS : OPEN_ALWAYS, existed);
}

bool WritableFile::CreateNew(const std::string& path, bool& existed) {
  return OpenWith(path, CREATE_NEW, existed);
}

bool WritableFile::OpenWith(const std::string& path, int how, bool& existed) {
  const HANDLE h = CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               static_cast<DWORD>(how), FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    existed = err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS;
    reason_ = SystemReason(err, language_);
    return false;
  }
  existed = false;
  native_ = reinterpret_cast<intptr_t>(h);
  open_ = true;
  return true;
}

uint64_t WritableFile::Size() const {
  LARGE_INTEGER size{};
  return open_ && GetFileSizeEx(Handle(native_), &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

bool WritableFile::Truncate(uint64_t size) {
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(size);
  if (SetFilePointerEx(Handle(native_), at, nullptr, FILE_BEGIN) && SetEndOfFile(Handle(native_)))
    return true;
  reason_ = LastError(language_);
  return false;
}

bool WritableFile::WriteAt(uint64_t offset, std::string_view data) {
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(Handle(native_), at, nullptr, FILE_BEGIN)) {
    reason_ = LastError(language_);
    return false;
  }
  for (size_t done = 0; done < data.size();) {
    DWORD n = 0;
    if (!WriteFile(Handle(native_), data.data() + done, static_cast<DWORD>(data.size() - done), &n,
                   nullptr) ||
        n == 0) {
      reason_ = LastError(language_);
      return false;
    }
    done += n;
  }
  return true;
}

bool WritableFile::Sync() {
  if (FlushFileBuffers(Handle(native_))) return true;
  reason_ = LastError(language_);
  return false;
}

bool WritableFile::Close() {
  if (!open_) return true;
  open_ = false;
  if (CloseHandle(Handle(native_))) return true;
  reason_ = LastError(language_);
  return false;
}

}  // namespace platform
