#pragma once
// The few file operations the programs make beyond reading and writing a stream: a bounded
// read of a small settings file, a replacement in one step, a folder made with its parents,
// and a file rewritten from an offset. Failures say why in the language asked for (see
// SystemReason). Paths and reasons are UTF-8.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text/language.h"

namespace platform {

struct SmallFile {
  enum class Status { Read, Missing, Failed } status = Status::Missing;
  std::string content;
  std::string reason;  // for Failed
};
// Reads a regular file of at most maxBytes. A device, a FIFO, a directory or a larger file is
// Failed with its reason and is never read from.
SmallFile ReadSmallFile(const std::string& path, size_t maxBytes, Language language);

// The path with its links followed; the path itself where that cannot be done.
std::string ResolveLinks(const std::string& path);

// Replaces the file at path (a resolved path, made when missing) with content through a
// temporary file beside it, flushed to the disk and renamed over it, so that a crash never
// leaves half a file. An existing file's permissions are kept. On failure the file is as it
// was, step says what could not be done ("cannot write in its folder", "cannot write it",
// "cannot replace it") and reason why.
bool ReplaceFileContent(const std::string& path, std::string_view content, std::string& step,
                        std::string& reason, Language language);

// Makes the folder path and any missing folder above it; true when it is there afterwards.
// reason says why not.
bool MakeFolders(const std::string& path, std::string& reason, Language language);

// A file opened for writing at chosen offsets. One thread at a time.
class WritableFile {
 public:
  explicit WritableFile(Language language) : language_(language) {}
  ~WritableFile();
  WritableFile(const WritableFile&) = delete;
  WritableFile& operator=(const WritableFile&) = delete;

  // Opens path, made when missing; emptied first when truncate is set.
  bool Open(const std::string& path, bool truncate);
  // Makes a new file at path; false, with existed set, where a file of that name is already.
  bool CreateNew(const std::string& path, bool& existed);
  uint64_t Size() const;  // 0 when it cannot be told
  bool Truncate(uint64_t size);
  bool WriteAt(uint64_t offset, std::string_view data);
  // Waits until what was written is on the disk itself; false too when the file has been
  // deleted meanwhile, since what is written then is lost.
  bool Sync();
  bool Close();
  // Why the last call failed.
  const std::string& Reason() const { return reason_; }

 private:
  // The system's open, how being its flags (O_CREAT...) or its creation disposition.
  bool OpenWith(const std::string& path, int how, bool& existed);

  Language language_;
  intptr_t native_ = -1;
  bool open_ = false;
  std::string reason_;
};

}  // namespace platform
