// The console flasher's port search: the port is named on the command line, and is tried
// up to 301 times, 100 ms apart, while the handset enumerates (again, after GO).
#pragma once

#include <functional>

#include "transport/port_search.h"

constexpr int kNamedPortAttempts = kPortSearchAttempts + 1;

// Told of every attempt, as it is made: its number (from 1) and the port's status (0: open).
using PortAttemptWatcher = std::function<void(int attempt, int status)>;

// 1 when the port is open, 0 after the last attempt ("Can't Connected Port.\n" traced).
int OpenNamedDownloadPort(const char* path, const PortAttemptWatcher& watcher = {});
