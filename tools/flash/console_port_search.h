// The console flasher's port search as its user sees it: while it searches, what it waits
// for (the port, the system's text for the last attempt, the attempts so far) goes to the
// display; when it gives up, why, and what to check, goes to `errors`.
#pragma once

#include <cstdio>
#include <string>

#include "transport/port_search.h"

class ConsoleDisplay;

// 1 when the port is open, 0 when the search gave up. `what` names the port in messages.
int SearchPortOnConsole(PortSearch search, const std::string& what, ConsoleDisplay& display, std::FILE* errors);

// The port named on the command line.
int SearchPortOnConsole(const char* path, ConsoleDisplay& display, std::FILE* errors);
