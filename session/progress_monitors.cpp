#include "session/progress_monitors.h"

#include <atomic>

#include "session/clock.h"
#include "session/process_values.h"
#include "session/session_driver.h"
#include "session/session_state.h"
#include "session/session_window.h"
#include "session/thread_start.h"
#include "session/window_seam.h"

namespace {
// The monitor that runs now; only the worker starts and ends monitors.
ThreadHandle runningMonitor;
// Set while the worker waits for the running monitor to end: the monitor looks at it every
// round, so it ends even when its transfer failed to say it was done.
std::atomic<bool> endRequested{false};

// Pause between rounds: the display needs no more, and a monitor that only waits for the
// window's replies would take a whole core from the transfer on a 2-core machine.
constexpr uint32_t kMonitorPauseMs = 20;
}  // namespace

unsigned MonitorProgress(void* argument) {
    auto& session = *static_cast<SessionState*>(argument);
    WindowSeam& window = RunWindow();
    window.SetProgressRange(0, 100);
    while (session.transferDone.load() == 0 && !endRequested.load()) {
        uint32_t total = session.totalCount.load();
        uint32_t percent = total == 0 ? 0 : session.doneCount.load() * 100u / total;
        progressPercent = percent;
        window.SetProgressPosition(static_cast<int>(percent));
        // A display pause, not a budget: real time even under a test clock.
        SystemClock().SleepMs(kMonitorPauseMs);
    }
    window.SetProgressPosition(0);
    progressPercent = 0;
    return 0;
}

void StartProgressMonitor(SessionState& session, std::size_t stackBytes) {
    EndProgressMonitor();
    session.totalCount = 0;
    session.transferDone = 0;
    runningMonitor = StartThread(MonitorProgress, &session, stackBytes, kThreadPriorityLowest);
}

void EndProgressMonitor() {
    if (!runningMonitor) return;
    endRequested = true;
    JoinThread(runningMonitor);  // also releases the thread's handle
    endRequested = false;
}
