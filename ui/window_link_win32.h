// The run's window seam on Windows: the wizard window reached by synchronous window
// messages and control updates, from whichever thread the run is on. The window thread
// handles each message while the sender waits, so records and texts passed by address
// stay valid; the window thread itself never waits for the run.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>

#include "session/window_seam.h"

class WindowLink final : public WindowSeam {
public:
    // The download-page layout and the timer text's drawing belong to the window's drawing
    // code; the link calls them as given (the worker runs the layout on its own thread).
    WindowLink(HWND window, std::function<void()> layoutDownloadPage,
               std::function<void(const std::string&)> drawTimerText);

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
    void* OwnerHandle() override { return window_; }

    int RunState() const { return runState_.load(); }

private:
    HWND window_;
    std::function<void()> layoutDownloadPage_;
    std::function<void(const std::string&)> drawTimerText_;
    std::atomic<int> runState_{kRunStateNotice};
};
