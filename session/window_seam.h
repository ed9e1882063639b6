// The one seam through which a run reaches whatever shows it: the wizard window on
// Windows (synchronous window messages and control updates), the console flasher's
// terminal, or a recording fake in tests. Every call may come from the worker or the
// watch thread; an implementation must never wait for those threads.
#pragma once

#include <cstdint>
#include <string>

#include "session/control_ids.h"

// Controls of the wizard window that the run touches.
constexpr int kControlDeviceText = IDC_DEVICE_TEXT;    // device text; the timer text is drawn at its place
constexpr int kControlDownloading = IDC_DOWNLOADING;  // "\r\nDownloading" during a run
constexpr int kControlStatusText = IDC_STATUS_TEXT;   // status text, also the checking page's failure box
constexpr int kControlProgressBar = IDC_PROGRESS_BAR;
constexpr int kControlErased = IDC_ERASED;  // "Erased": the partition-table override in service mode
constexpr int kControlCefs = IDC_CEFS;
constexpr int kControlFota = IDC_FOTA;

// Window messages of the run (all sent synchronously).
constexpr unsigned kWmShowPage = 0x0400 + 2;  // WM_USER+2: checking-page line {kind, failed}
constexpr unsigned kWmRunEnd = 0x0400 + 3;    // WM_USER+3: wParam 1 finish page, 0 end state only
constexpr unsigned kWmStepLabel = 0x0400 + 4; // WM_USER+4: place and draw one step label

// The record whose address travels with a step label: the label control and its rectangle.
struct LabelRequest {
    int32_t labelControl;
    int32_t left;
    int32_t top;
    int32_t height;
    int32_t width;
};

// Window run state: 1 notice page, 3 transfer running, -1 run finished.
constexpr int kRunStateNotice = 1;
constexpr int kRunStateTransfer = 3;
constexpr int kRunStateFinished = -1;

class WindowSeam {
public:
    virtual ~WindowSeam() = default;

    virtual void SetControlText(int control, const std::string& text) = 0;
    virtual std::string GetControlText(int control) = 0;
    virtual bool GetCheck(int control) = 0;               // BM_GETCHECK
    virtual void SetCheck(int control, bool checked) = 0; // BM_SETCHECK

    virtual void ShowStepLabel(const LabelRequest& request, const char* text) = 0;  // WM_STEP_LABEL
    virtual void LayoutDownloadPage() = 0;  // called directly by the worker, once, before the first port opening
    virtual void SetRunState(int state) = 0;
    virtual void SetProgressRange(int low, int high) = 0;  // PBM_SETRANGE
    virtual void SetProgressPosition(int position) = 0;    // PBM_SETPOS
    virtual void RunEnded(int showFinishPage) = 0;         // WM_RUN_END
    virtual void ShowCheckingLine(int kind, int failed) = 0;  // WM_SHOW_PAGE
    virtual void DrawTimerText(const std::string& text) = 0;  // drawn over control 1001's area

    // Owner handle for message boxes (nullptr for none).
    virtual void* OwnerHandle() { return nullptr; }
};

// A window that shows nothing: stands in where no window exists, and is the base of windows
// that care about a few of the calls only.
class QuietWindow : public WindowSeam {
public:
    void SetControlText(int, const std::string&) override {}
    std::string GetControlText(int) override { return {}; }
    bool GetCheck(int) override { return false; }
    void SetCheck(int, bool) override {}
    void ShowStepLabel(const LabelRequest&, const char*) override {}
    void LayoutDownloadPage() override {}
    void SetRunState(int) override {}
    void SetProgressRange(int, int) override {}
    void SetProgressPosition(int) override {}
    void RunEnded(int) override {}
    void ShowCheckingLine(int, int) override {}
    void DrawTimerText(const std::string&) override {}
};
