#include "platform/files/file_io.h"

#include "platform/files/file_io_detail.h"

namespace platform {
namespace {

// A file stands where a folder was to be found or made.
std::string NotFolderText(Language language) {
  return language == Language::Turkish ? "Bu bir klasör değil" : "it is not a folder";
}

}  // namespace

bool MakeFolders(const std::string& path, std::string& reason, Language language) {
  std::string folder = path;
  while (folder.size() > 1 &&
         std::string_view(detail::kPathSeparators).find(folder.back()) != std::string_view::npos) {
    folder.pop_back();
  }
  switch (detail::CheckFolder(folder)) {
    case detail::FolderCheck::Folder:
      return true;
    case detail::FolderCheck::NotFolder:
      reason = NotFolderText(language);
      return false;
    case detail::FolderCheck::Missing:
      break;
  }
  const size_t slash = folder.find_last_of(detail::kPathSeparators);
  if (slash != std::string::npos && slash > 0 &&
      !MakeFolders(folder.substr(0, slash), reason, language)) {
    return false;
  }
  return detail::MakeFolder(folder, reason, language);
}

}  // namespace platform

namespace platform::detail {

std::string TooLargeText(size_t maxBytes, Language language) {
  return language == Language::Turkish ? "Dosya " + std::to_string(maxBytes) + " bayttan büyük"
                                       : "it is larger than " + std::to_string(maxBytes) + " bytes";
}

std::string NotRegularFileText(Language language) {
  return language == Language::Turkish ? "Normal bir dosya değil" : "it is not a regular file";
}

const char* ReplaceStepText(ReplaceStep step, Language language) {
  const bool tr = language == Language::Turkish;
  switch (step) {
    case ReplaceStep::WriteInFolder:
      return tr ? "klasörüne yazılamıyor" : "cannot write in its folder";
    case ReplaceStep::Write:
      return tr ? "yazılamıyor" : "cannot write it";
    case ReplaceStep::Replace:
      return tr ? "üzerine yazılamıyor" : "cannot replace it";
  }
  return "";
}

}  // namespace platform::detail
