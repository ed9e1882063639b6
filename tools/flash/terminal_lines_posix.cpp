#include "tools/flash/terminal_lines.h"

void RewriteLine(std::FILE* out, const std::string& text) { std::fprintf(out, "\r%s\033[K", text.c_str()); }

void MoveUpLines(std::FILE* out, std::size_t lines) {
    if (lines) std::fprintf(out, "\033[%zuA\r", lines);
}
