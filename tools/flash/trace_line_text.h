// A trace line is bytes in the ANSI code page; JSON carries text. On Windows the bytes are
// decoded from the ANSI code page (and encoded back); elsewhere, where no code page is known,
// each byte stands for the character U+00XX, so the bytes come back as they were.
#pragma once

#include <string>

// The line as UTF-8.
std::string TraceLineText(const std::string& bytes);
// Back to the line's bytes; false when the text holds a character the bytes cannot hold.
bool TraceLineBytes(const std::string& text, std::string& bytes);
