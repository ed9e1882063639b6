// The window timer's share of a run: percentage and elapsed time while it transfers.
#include "session/clock.h"
#include "session/process_values.h"
#include "session/session_driver.h"
#include "session/session_state.h"
#include "session/trace_log.h"
#include "session/window_seam.h"

void OnWindowTimer(SessionState& session) {
    WindowSeam* window = session.window;
    if (session.running == 1) {
        session.timerNow = NowSeconds();
        auto seconds = static_cast<int32_t>(static_cast<uint32_t>(session.timerNow - session.runStartTime));
        session.timerText = FormatText("Completed %d %%,Cost Time: %d MIN %d SEC ",
                                       static_cast<int>(progressPercent.load()), seconds / 60, seconds % 60);
        if (window) {
            window->DrawTimerText(session.timerText);
            window->SetControlText(kControlDownloading, "\r\nDownloading");
        }
    } else if (session.syncPortSeen != 1 && session.qualcommPortSeen != 1) {
        if (window) window->SetControlText(kControlDeviceText, "NO con");
    }
}

unsigned WindowTimerPeriodMs() { return windows7Flag == 1 ? 1000u : 700u; }
