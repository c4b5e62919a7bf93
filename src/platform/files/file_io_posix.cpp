#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/files/file_io.h"
#include "platform/files/file_io_detail.h"
#include "platform/files/system_reason.h"

namespace platform {
namespace {

int Fd(intptr_t native) {
  return static_cast<int>(native);
}

std::string What(const struct stat& st, Language language) {
  const bool tr = language == Language::Turkish;
  if (S_ISDIR(st.st_mode)) return tr ? "Bu bir klasör" : "it is a directory";
  if (S_ISFIFO(st.st_mode)) return tr ? "Bu bir FIFO" : "it is a FIFO";
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return tr ? "Bu bir cihaz" : "it is a device";
  if (S_ISSOCK(st.st_mode)) return tr ? "Bu bir soket" : "it is a socket";
  return detail::NotRegularFileText(language);
}

}  // namespace

SmallFile ReadSmallFile(const std::string& path, size_t maxBytes, Language language) {
  SmallFile file;
  // Non-blocking, so that opening a FIFO with no writer does not wait for one.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    // A file in a folder that is not there, or is a file, is missing as well.
    file.status = errno == ENOENT || errno == ENOTDIR ? SmallFile::Status::Missing
                                                      : SmallFile::Status::Failed;
    file.reason = SystemReason(errno, language);
    return file;
  }
  file.status = SmallFile::Status::Failed;
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    file.reason = SystemReason(errno, language);
  } else if (!S_ISREG(st.st_mode)) {
    file.reason = What(st, language);
  } else if (static_cast<uint64_t>(st.st_size) > maxBytes) {
    file.reason = detail::TooLargeText(maxBytes, language);
  } else {
    file.status = SmallFile::Status::Read;
    char buffer[65536];
    for (;;) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n > 0) {
        file.content.append(buffer, static_cast<size_t>(n));
        if (file.content.size() > maxBytes) {
          file.status = SmallFile::Status::Failed;
          file.reason = detail::TooLargeText(maxBytes, language);
          break;
        }
      } else if (n == 0) {
        break;
      } else if (errno != EINTR) {
        file.status = SmallFile::Status::Failed;
        file.reason = SystemReason(errno, language);
        break;
      }
    }
  }
  close(fd);
  if (file.status != SmallFile::Status::Read) file.content.clear();
  return file;
}

std::string ResolveLinks(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  const std::string target = resolved ? resolved : path;
  std::free(resolved);
  return target;
}

bool ReplaceFileContent(const std::string& path, std::string_view content, std::string& step,
                        std::string& reason, Language language) {
  using detail::ReplaceStep;
  mode_t mode = 0644;
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;

  std::string temp = path + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    step = detail::ReplaceStepText(ReplaceStep::WriteInFolder, language);
    reason = SystemReason(errno, language);
    return false;
  }
  const char* const cannotWrite = detail::ReplaceStepText(ReplaceStep::Write, language);
  const auto fail = [&](const char* what, int err) {
    unlink(temp.c_str());
    step = what;
    reason = SystemReason(err, language);
    return false;
  };
  size_t written = 0;
  while (written < content.size()) {
    const ssize_t n = write(fd, content.data() + written, content.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int err = n == 0 ? EIO : errno;
      close(fd);
      return fail(cannotWrite, err);
    }
    written += static_cast<size_t>(n);
  }
  if (fchmod(fd, mode) != 0 || fsync(fd) != 0) {
    const int err = errno;
    close(fd);
    return fail(cannotWrite, err);
  }
  if (close(fd) != 0) return fail(cannotWrite, errno);
  if (rename(temp.c_str(), path.c_str()) != 0)
    return fail(detail::ReplaceStepText(ReplaceStep::Replace, language), errno);
  return true;
}

namespace detail {

const char kPathSeparators[] = "/";

FolderCheck CheckFolder(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return FolderCheck::Missing;
  return S_ISDIR(st.st_mode) ? FolderCheck::Folder : FolderCheck::NotFolder;
}

bool MakeFolder(const std::string& path, std::string& reason, Language language) {
  if (mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) return true;
  reason = SystemReason(errno, language);
  return false;
}

}  // namespace detail

WritableFile::~WritableFile() {
  if (open_) close(Fd(native_));
}

bool WritableFile::Open(const std::string& path, bool truncate) {
  bool existed = false;
  return OpenWith(path, O_CREAT | (truncate ? O_TRUNC : 0), existed);
}

bool WritableFile::CreateNew(const std::string& path, bool& existed) {
  return OpenWith(path, O_CREAT | O_EXCL, existed);
}

bool WritableFile::OpenWith(const std::string& path, int how, bool& existed) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | how, 0666);
  existed = fd < 0 && errno == EEXIST;
  if (fd < 0) {
    reason_ = SystemReason(errno, language_);
    return false;
  }
  native_ = fd;
  open_ = true;
  return true;
}

uint64_t WritableFile::Size() const {
  struct stat st {};
  return open_ && fstat(Fd(native_), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

bool WritableFile::Truncate(uint64_t size) {
  if (ftruncate(Fd(native_), static_cast<off_t>(size)) == 0) return true;
  reason_ = SystemReason(errno, language_);
  return false;
}

bool WritableFile::WriteAt(uint64_t offset, std::string_view data) {
  for (size_t done = 0; done < data.size();) {
    const ssize_t n = pwrite(Fd(native_), data.data() + done, data.size() - done,
                             static_cast<off_t>(offset + done));
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n == 0) {
      reason_ = SystemReason(EIO, language_);
      return false;
    } else if (errno != EINTR) {
      reason_ = SystemReason(errno, language_);
      return false;
    }
  }
  return true;
}

bool WritableFile::Sync() {
  if (fdatasync(Fd(native_)) != 0) {
    reason_ = SystemReason(errno, language_);
    return false;
  }
  // Writing to a file that was deleted (its folder removed with rm -rf) still succeeds here,
  // into a file nobody will find: a failure all the same.
  struct stat st {};
  if (fstat(Fd(native_), &st) == 0 && st.st_nlink == 0) {
    reason_ = language_ == Language::Turkish ? "Dosya ya da klasörü silindi"
                                             : "the file or its folder was deleted";
    return false;
  }
  return true;
}

bool WritableFile::Close() {
  if (!open_) return true;
  open_ = false;
  if (close(Fd(native_)) == 0) return true;
  reason_ = SystemReason(errno, language_);
  return false;
}

}  // namespace platform
