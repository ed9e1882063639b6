#include "platform/own_program_path_win32.h"

#include <windows.h>

std::string OwnProgramPath() {
    static wchar_t wide[32768];  // the longest path Windows has
    const DWORD length = GetModuleFileNameW(nullptr, wide, sizeof wide / sizeof wide[0]);
    if (length == 0 || length >= sizeof wide / sizeof wide[0]) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string path(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, path.data(), size, nullptr, nullptr) != size) return {};
    path.resize(static_cast<size_t>(size) - 1);
    return path;
}
