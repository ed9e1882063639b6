// Lines rewritten in place on a terminal: ANSI sequences where the terminal reads them, the
// console's own calls on Windows (its consoles before Windows 10 print the sequences as text).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// The columns of the terminal behind `out` (on Windows the console's buffer width); 0 when
// it has none or does not say.
std::size_t TerminalColumns(std::FILE* out);

// Writes `text` over the current line, from its start, and clears what an older, longer text
// left behind. The cursor stays at the end of the line. A text wider than the terminal less
// one column is cut there: a line that wrapped would no longer be rewritten in place.
void RewriteLine(std::FILE* out, const std::string& text);

// Puts the cursor at the start of the line `lines` above the current one.
void MoveUpLines(std::FILE* out, std::size_t lines);
