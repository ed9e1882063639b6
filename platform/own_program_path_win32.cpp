#include "platform/own_program_path_win32.h"

#include <windows.h>

#include "platform/wide_path_win32.h"

std::string OwnProgramPath() {
    static wchar_t wide[32768];  // the longest path Windows has
    const DWORD length = GetModuleFileNameW(nullptr, wide, sizeof wide / sizeof wide[0]);
    if (length == 0 || length >= sizeof wide / sizeof wide[0]) return {};
    return Utf8Path(std::wstring(wide, length));
}
