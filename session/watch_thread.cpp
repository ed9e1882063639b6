// The watch thread and the start of the worker.
#include <cstdio>

#include "session/clock.h"
#include "session/message_box.h"
#include "session/process_exit.h"
#include "session/process_values.h"
#include "session/run_settings.h"
#include "session/session_driver.h"
#include "session/session_state.h"
#include "session/session_window.h"
#include "session/thread_start.h"
#include "session/trace_log.h"
#include "session/window_seam.h"
#include "session/worker_thread.h"

namespace {
// A handset still seen as a Windows Mobile device after this many polls did not switch.
constexpr int kPollsBeforeRefusal = 60;

constexpr const char* kWorkerNotStartedText =
    "Can't start the download thread (it needs 150 MiB of address space for its stack).\n"
    "Close other programs and start Veltrane again.";
}  // namespace

unsigned WaitForDownloadPort(void* argument) {
    auto* session = static_cast<SessionState*>(argument);
    currentSession = session;
    int polls = 0;
    for (;;) {
        SleepMs(1000);
        if (Steps().scanDevices) Steps().scanDevices(*session);
        ++polls;
        if (polls > kPollsBeforeRefusal && session->wmdcDeviceSeen == 1) {
            WindowSeam& window = RunWindow();
            window.SetControlText(kControlStatusText,
                                  FormatText("Can't Transfer from WinMobile to Download mode [CustLanguage %x]",
                                             static_cast<unsigned>(imageIdentificationWord.load())));
            // The box shows what the status control holds, as the user sees it there.
            std::string shown = window.GetControlText(kControlStatusText);
            ShowMessageBox(shown.c_str(), "Warning", nullptr);
            window.ShowCheckingLine(3, 1);
            window.RunEnded(0);
            return 0;
        }
        if (session->syncPortSeen == 1) {
            StartSession();
            return 0;
        }
    }
}

void StartSession() {
    ReadRunSettings();
    // Windows XP's serial path needs the worker at time-critical priority; on Vista and 7
    // the worker keeps normal priority.
    int priority = Environment == 0 ? kThreadPriorityTimeCritical : kThreadPriorityNormal;
    ThreadHandle worker = StartThread(RunSession, nullptr, kWorkerThreadStack, priority);
    if (!worker) {
        // A crowded 32-bit process may hold no 150 MiB in one piece. The host programs are
        // already ended and the wizard waits for this run: end rather than leave it waiting.
        // No trace yet: the worker would have created it.
        ShowMessageBox(kWorkerNotStartedText, "Error", nullptr);
        ExitProcessNormally(1);
    }
    KeepWorkerThread(worker);
}
