// "dir.txt" in the current directory: the image folder chosen last in service mode, written
// as the folder (its trailing backslash included) followed by one ';', with no line end.
// Anything after the first ';' is left over from a longer older path and is ignored.
#pragma once

#include <cstddef>
#include <string>

constexpr const char* kFolderMemoryFile = "dir.txt";
constexpr const char* kDefaultImageFolder = "C:\\";  // the root of drive C
// The remembered path is held in a buffer of this many characters, its terminator included.
constexpr std::size_t kFolderPathBuffer = 2000;

// The remembered folder, or the root of drive C when there is none: a missing, empty or
// unreadable file, an empty path, or content that fills the path buffer without a ';'
// (a path too long to hold). A missing "dir.txt" is created empty.
std::string ReadRememberedFolder();

// Writes folder + ";" over the start of "dir.txt" (created when missing, never truncated).
bool WriteRememberedFolder(const std::string& folder);
