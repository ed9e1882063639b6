// The run's window seam on Windows: the wizard window reached by synchronous window
// messages and control updates, from whichever thread the run is on. The window thread
// handles each message while the sender waits, so records and texts passed by address
// stay valid; the window thread itself never waits for the run.
//
// The link lives as long as the process: the watch thread, the worker and a progress
// monitor may still call it after the window has closed. Once the window detaches it
// (as it is destroyed), every call returns at once and reaches nothing.
#pragma once

#include <windows.h>

#include <atomic>

#include "session/window_seam.h"

// Messages the link sends beside the run's own: the download page's layout (the worker
// must not paint, so the window's thread does it) and the timer text drawn at its place.
constexpr UINT kWmLayoutDownloadPage = WM_APP + 1;
constexpr UINT kWmDrawTimerText = WM_APP + 2;  // wParam: const std::string*

class WindowLink final : public WindowSeam {
public:
    explicit WindowLink(HWND window) : window_(window) {}

    // The window is going: from now on nothing reaches it.
    void Detach() { window_ = nullptr; }

    void SetControlText(int control, const std::string& text) override;
    std::string GetControlText(int control) override;
    bool GetCheck(int control) override;
    void SetCheck(int control, bool checked) override;
    void ShowStepLabel(const LabelRequest& request, const char* text) override;
    void LayoutDownloadPage() override;
    void SetRunState(int state) override;
    void SetProgressRange(int low, int high) override;
    void SetProgressPosition(int position) override;
    void RunEnded(int showFinishPage) override;
    void ShowCheckingLine(int kind, int failed) override;
    void DrawTimerText(const std::string& text) override;
    void* OwnerHandle() override { return window_.load(); }

    int RunState() const { return runState_.load(); }

private:
    std::atomic<HWND> window_;
    std::atomic<int> runState_{kRunStateNotice};
};
