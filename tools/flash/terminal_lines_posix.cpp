#include "tools/flash/terminal_lines.h"

#include <sys/ioctl.h>
#include <unistd.h>

std::size_t TerminalColumns(std::FILE* out) {
    winsize size{};
    return ioctl(fileno(out), TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

void RewriteLine(std::FILE* out, const std::string& text) {
    const std::size_t columns = TerminalColumns(out);
    const std::string line = columns > 1 && text.size() > columns - 1 ? text.substr(0, columns - 1) : text;
    std::fprintf(out, "\r%s\033[K", line.c_str());
}

void MoveUpLines(std::FILE* out, std::size_t lines) {
    if (lines) std::fprintf(out, "\033[%zuA\r", lines);
}
