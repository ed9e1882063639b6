// The console flasher's port search as its user sees it: while it searches, what it waits
// for (the path, the system's text for the last attempt, the attempts so far) goes to the
// display; when it gives up, why, and what to check, goes to `errors`.
#pragma once

#include <cstdio>

class ConsoleDisplay;

// 1 when the port is open, 0 when the search gave up.
int SearchPortOnConsole(const char* path, ConsoleDisplay& display, std::FILE* errors);
