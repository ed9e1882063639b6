#include "package/image_folder_memory.h"

#include <cstdio>
#include <cstring>

std::string ReadRememberedFolder() {
    std::FILE* file = std::fopen(kFolderMemoryFile, "rb");
    if (!file) {
        // Leave an empty file behind, so that the folder choice has somewhere to write
        // ("ab": a file that exists but cannot be read is not truncated).
        if (std::FILE* created = std::fopen(kFolderMemoryFile, "ab")) std::fclose(created);
        return kDefaultImageFolder;
    }
    char buffer[kFolderPathBuffer];
    const std::size_t count = std::fread(buffer, 1, sizeof buffer, file);
    std::fclose(file);

    const void* end = std::memchr(buffer, ';', count);
    std::size_t length = count;
    if (end) {
        length = static_cast<std::size_t>(static_cast<const char*>(end) - buffer);
    } else if (count == sizeof buffer) {
        return kDefaultImageFolder;  // no ';' within what the buffer holds: the path does not fit
    }
    if (length == 0) return kDefaultImageFolder;
    return std::string(buffer, length);
}

bool WriteRememberedFolder(const std::string& folder) {
    // "r+b" keeps the old content past the new text; "wb" only when there is no file yet.
    std::FILE* file = std::fopen(kFolderMemoryFile, "r+b");
    if (!file) file = std::fopen(kFolderMemoryFile, "wb");
    if (!file) return false;
    const std::string text = folder + ";";
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}
