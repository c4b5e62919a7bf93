#pragma once
// What the file operations of every system share (file_io.cpp), and the steps each system's
// file gives them. The system's own reasons are SystemReason's.

#include <cstddef>
#include <string>

#include "platform/text/language.h"

namespace platform::detail {

// "it is larger than N bytes": a settings file past ReadSmallFile's bound.
std::string TooLargeText(size_t maxBytes, Language language);
std::string NotRegularFileText(Language language);

// The step of ReplaceFileContent that failed.
enum class ReplaceStep { WriteInFolder, Write, Replace };
const char* ReplaceStepText(ReplaceStep step, Language language);

// The system's file: the characters that part the folders of a path.
extern const char kPathSeparators[];
// The system's file: what stands at path.
enum class FolderCheck { Folder, NotFolder, Missing };
FolderCheck CheckFolder(const std::string& path);
// The system's file: makes the one folder path in a folder that is there; true when it is
// there afterwards, made now or by someone else meanwhile. reason says why not.
bool MakeFolder(const std::string& path, std::string& reason, Language language);

}  // namespace platform::detail
