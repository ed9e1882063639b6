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
// A run starts at most eight monitors (stage A and seven image stages); the slots are
// only touched by the worker, and by a waiter after the worker has finished.
constexpr int kMonitorSlots = 16;
ThreadHandle monitors[kMonitorSlots];
std::atomic<int> monitorCount{0};

// Pause between rounds: the display needs no more, and a monitor that only waits for the
// window's replies would take a whole core from the transfer on a 2-core machine.
constexpr uint32_t kMonitorPauseMs = 20;
}  // namespace

unsigned MonitorProgress(void* argument) {
    auto& session = *static_cast<SessionState*>(argument);
    WindowSeam& window = RunWindow();
    window.SetProgressRange(0, 100);
    while (session.transferDone.load() == 0) {
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
    ThreadHandle thread = StartThread(MonitorProgress, &session, stackBytes, kThreadPriorityLowest);
    int slot = monitorCount.load();
    if (slot < kMonitorSlots) {
        monitors[slot] = thread;
        monitorCount = slot + 1;
    } else {
        DetachThread(thread);
    }
}

void WaitForProgressMonitors() {
    int count = monitorCount.load();
    for (int slot = 0; slot < count; ++slot) JoinThread(monitors[slot]);
    monitorCount = 0;
}
