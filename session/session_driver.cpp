#include "session/session_driver.h"

#include <cstdint>
#include <type_traits>

#include "session/clock.h"
#include "session/current_directory.h"
#include "session/image_targets.h"
#include "session/message_box.h"
#include "session/process_exit.h"
#include "session/process_values.h"
#include "session/progress_monitors.h"
#include "session/run_settings.h"
#include "session/session_state.h"
#include "session/session_window.h"
#include "session/thread_start.h"
#include "session/trace_log.h"
#include "session/window_seam.h"

namespace {

// An operation a program forgot to install fails its step instead of passing silently.
template <typename Result, typename... Arguments>
Result Call(const std::function<Result(Arguments...)>& operation, std::type_identity_t<Result> whenMissing,
            std::type_identity_t<Arguments>... arguments) {
    return operation ? operation(arguments...) : whenMissing;
}

template <typename... Arguments>
void CallVoid(const std::function<void(Arguments...)>& operation, std::type_identity_t<Arguments>... arguments) {
    if (operation) operation(arguments...);
}

// A failing step: its text ends the trace, then the "Error" box and exit status 1.
[[noreturn]] void FailStep(const char* text) {
    Trace().Append(text);
    Trace().Close();
    EndRunWithError(text, 1);
}

// A port that cannot be opened ends the run without a box: the port search traced why.
[[noreturn]] void FailWithoutBox() {
    Trace().Close();
    EndRunWithError("", 0);
}

void TraceElapsed(int64_t startTime) {
    TraceFormat("total time: %d sec\n", static_cast<int>(NowSeconds() - startTime));
}

const char* InitialModeName(int mode) {
    switch (mode) {
    case 0: return "Download";
    case 1: return "WinMobile";
    default: return "????";
    }
}

void OpenWriteClose(const ImageTargetInfo& info) {
    const StepOperations& steps = Steps();
    if (!Call(steps.openImage, 0, info.target)) FailStep(info.openFailure);
    currentImageIndex = info.bodySlot;
    if (!Call(steps.writeImage, 0, info.target)) FailStep(info.writeFailure);
    if (!Call(steps.closeImage, 0, info.target)) FailStep(info.closeFailure);
}

void RunImageStages(SessionState& session, int64_t startTime, int& stepNumber) {
    for (const ImageTargetInfo& info : kImageTargets) {
        // Read as each stage is reached: the partition step may have switched them all on.
        if (!TargetSelected(info)) continue;
        if (info.openCarriesHeader) currentImageIndex = info.headerSlot;
        // The QCSBL header goes without a label or monitor of its own, before QCSBL's.
        if (info.labelKind != 0) {
            ShowStepLabel(info.labelKind, ++stepNumber);
            StartProgressMonitor(session, info.monitorStack);
        }
        OpenWriteClose(info);
        TraceElapsed(startTime);
    }
}

}  // namespace

void RunFromStageA(SessionState& session, int64_t startTime) {
    const StepOperations& steps = Steps();
    WindowSeam& window = RunWindow();
    const int environment = Environment;

    TraceFormat("[PACKETSIZE%d FLASH_PACKETSIZE%d Environment%d]\n", static_cast<int>(kImagePacketSize),
                static_cast<int>(kImagePacketSize), environment);
    if (environment == 0) {
        Trace().Append("==============close application 3 times =============\n");
        Call(steps.closeHostPrograms, 0);
    } else {
        Call(steps.closeHostPrograms, 0);
        Trace().Append("==============close Service 1000 times =============\n");
        CallVoid(steps.clearHostServices, ServiceOrder::First);
    }

    Trace().Append("==============Open Port =======================\n");
    window.LayoutDownloadPage();
    window.SetRunState(kRunStateTransfer);
    ShowStepLabel(0, 0);
    ShowStepLabel(1, 0);
    session.runStartTime = NowSeconds();
    if (!Call(steps.openDownloadPort, 0)) FailWithoutBox();

    currentImageIndex = 0;
    StartProgressMonitor(session, 0);
    session.running = 1;
    if (!Call(steps.sendProgrammer, 0)) FailStep("Send Hex Failure\n");
    Call(steps.sendGo, 0);  // a GO that went astray shows when the port or the hello fails
    CallVoid(steps.closePort);
    Trace().Append("Sleep 5 sec\n");
    SleepMs(5000);  // the handset starts the programmer and enumerates again

    if (environment != 0) {
        Trace().Append("==============close Service 1000 times again=============\n");
        CallVoid(steps.clearHostServices, ServiceOrder::Again);
    }
    if (!Call(steps.openDownloadPort, 0)) FailWithoutBox();

    if (!Call(steps.sendHello, 0)) FailStep("Can't Initial HELLO Tag");
    if (!Call(steps.sendSecurityMode, 0)) FailStep("Can't Enable Secret Mode");
    TraceElapsed(startTime);
    int stepNumber = 2;
    ShowStepLabel(2, stepNumber);
    currentImageIndex = 1;
    if (!Call(steps.sendPartitionTable, 0)) FailStep("Can't Send Partition");
    TraceElapsed(startTime);

    RunImageStages(session, startTime, stepNumber);

    if (!Call(steps.sendReset, 0)) FailStep("Reset Fail");
    EndProgressMonitor();  // the last transfer is over; nothing may run on into the next run

    CallVoid(steps.closePort);  // nothing happens when the reset already closed it
    session.running = 0;
    window.SetRunState(kRunStateFinished);
    Trace().Append("Finish");
    Trace().Close();
    // The synchronisation programs are started again before the finish page is offered: a
    // quick Finish ends the process, and a start still under way would be lost with it.
    CallVoid(steps.restartHostPrograms);
    window.RunEnded(1);
}

unsigned RunSession(void*) {
    SessionState* session = currentSession.load();
    if (!session) {
        // No window published a session: the run publishes one of its own, since the transfers
        // report their progress only to the published one. Never destroyed: a monitor may
        // still read it while the process exits.
        static auto* detached = new SessionState;
        session = detached;
        currentSession = session;
    }
    const int64_t startTime = NowSeconds();
    if (!Trace().Open()) {
        // Without a trace the run would write the handset blind: stop before the port is touched.
        std::string text = FormatText("Can't create %s in %s", kTraceFileName, CurrentDirectoryText().c_str());
        ShowMessageBox(text.c_str(), "Error", nullptr);
        ExitProcessNormally(1);
    }
    TraceFormat("Initial Mode : %s\n", InitialModeName(initialMode));

    const StepOperations& steps = Steps();
    if (!Call(steps.checkProgramFile, 0)) return 0;  // the window shows "NO File: %s" and stays open

    std::string missing;
    if (!Call<int, std::string&>(steps.checkImageSet, 0, missing)) {
        ShowMessageBox(missing.c_str(), "Warning", nullptr);
        Trace().Append(missing.c_str());
        Trace().Close();
        EndRunWithError(missing, 1);
    }
    RunFromStageA(*session, startTime);
    return 0;
}

void EndRunWithError(const std::string& text, int boxSwitch) {
    if (SessionState* session = currentSession.load()) session->running = 0;
    if (boxSwitch == 1) ShowMessageBox(text.c_str(), "Error", nullptr);
    ExitProcessNormally(1);
}
