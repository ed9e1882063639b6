// How the Windows programs carry a path: UTF-8 inside (the console flasher reads its command
// line wide and converts it once; the program's own path is learned wide), wide at every
// Windows call. Veltrane.exe's own files in the working folder (trace.txt, a.ini, dir.txt)
// keep their single-byte names and calls.
#pragma once

#include <string>

// The UTF-8 text as UTF-16; empty for text that is not UTF-8 (no guessing at a code page).
std::wstring WidePath(const std::string& utf8);
std::string Utf8Path(const std::wstring& wide);
