// The progress monitors a run starts, one per transfer. The driver starts the next one
// only after the previous transfer has ended, so at most one runs at a time.
#pragma once

#include <cstddef>

struct SessionState;

// Starts MonitorProgress for the session at the lowest priority (stack 0: the default).
void StartProgressMonitor(SessionState& session, std::size_t stackBytes);

// Waits for every monitor started so far to end (each ends when its transfer sets
// transferDone). For the console flasher and tests; the window never waits.
void WaitForProgressMonitors();
