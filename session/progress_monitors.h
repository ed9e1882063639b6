// The progress monitor of the current transfer. At most one runs: the driver ends the one
// before (and waits for it) before the next starts, and ends the last when the run finishes,
// so an old monitor can never zero the bar over the next transfer's progress.
#pragma once

#include <cstddef>

struct SessionState;

// Ends the running monitor, sets totalCount and transferDone to 0, and starts MonitorProgress
// for the session at the lowest priority (stack 0: the default).
void StartProgressMonitor(SessionState& session, std::size_t stackBytes);

// Tells the running monitor to end and waits for it: within one pause and one window call,
// whether or not its transfer ever said it was done. Nothing happens when none runs.
void EndProgressMonitor();
