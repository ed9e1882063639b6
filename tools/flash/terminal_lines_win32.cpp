#include "tools/flash/terminal_lines.h"

#include <io.h>
#include <windows.h>

namespace {

// The console behind `out`, or null when there is none (the C runtime calls NUL a terminal too).
HANDLE ConsoleOf(std::FILE* out, CONSOLE_SCREEN_BUFFER_INFO& info) {
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
    return handle != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(handle, &info) ? handle : nullptr;
}

}  // namespace

void RewriteLine(std::FILE* out, const std::string& text) {
    std::fflush(out);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    std::string line = text;
    // Blanks to the last column but one clear the rest; the last one would wrap the line.
    if (ConsoleOf(out, info) && info.dwSize.X > 1 && line.size() < static_cast<size_t>(info.dwSize.X - 1))
        line.resize(static_cast<size_t>(info.dwSize.X - 1), ' ');
    std::fprintf(out, "\r%s", line.c_str());
}

void MoveUpLines(std::FILE* out, std::size_t lines) {
    std::fflush(out);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    HANDLE console = ConsoleOf(out, info);
    if (!console || lines == 0) return;
    COORD start = {0, static_cast<SHORT>(info.dwCursorPosition.Y > static_cast<SHORT>(lines)
                                             ? info.dwCursorPosition.Y - static_cast<SHORT>(lines)
                                             : 0)};
    SetConsoleCursorPosition(console, start);
}
