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

std::size_t TerminalColumns(std::FILE* out) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    return ConsoleOf(out, info) && info.dwSize.X > 0 ? static_cast<std::size_t>(info.dwSize.X) : 0;
}

void RewriteLine(std::FILE* out, const std::string& text) {
    std::fflush(out);
    const std::size_t columns = TerminalColumns(out);
    std::string line = text;
    // Cut, or padded with blanks that clear the rest, to the last column but one: the last one
    // would wrap the line.
    if (columns > 1) line.resize(columns - 1, ' ');
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
