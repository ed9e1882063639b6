#include "session/current_directory.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

std::string CurrentDirectoryText() {
    char buffer[4096];
#ifdef _WIN32
    DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    if (length == 0 || length >= sizeof buffer) return ".";
    return std::string(buffer, length);
#else
    if (!getcwd(buffer, sizeof buffer)) return ".";
    return buffer;
#endif
}
