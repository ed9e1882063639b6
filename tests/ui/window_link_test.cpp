// The window seam over real window messages: a window of our own with the controls the run
// touches, the run's calls made from another thread while this one pumps messages.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "session/thread_start.h"
#include "ui/window_link_win32.h"

namespace {

struct Received {
    std::vector<std::string> messages;
    std::vector<LabelRequest> labels;
    std::vector<std::string> labelTexts;
    std::vector<std::pair<int, int>> checkingLines;
    std::vector<LPARAM> checkingOwners;
    std::vector<WPARAM> runEnds;
    int layouts = 0;
    std::string timerText;
};
Received* received = nullptr;

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kWmStepLabel: {
        // Copied inside the handler: the sender's record lives on its stack until we return.
        received->labels.push_back(*reinterpret_cast<const LabelRequest*>(wParam));
        received->labelTexts.push_back(reinterpret_cast<const char*>(lParam));
        return 0;
    }
    case kWmShowPage: {
        const int* line = reinterpret_cast<const int*>(wParam);
        received->checkingLines.emplace_back(line[0], line[1]);
        received->checkingOwners.push_back(lParam);
        return 0;
    }
    case kWmRunEnd:
        received->runEnds.push_back(wParam);
        return 0;
    case kWmLayoutDownloadPage:
        ++received->layouts;
        return 0;
    case kWmDrawTimerText:
        received->timerText = *reinterpret_cast<const std::string*>(wParam);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND CreateTestWindow() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = TestWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "VeltraneLinkTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "VeltraneLinkTest", "Veltrane", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    auto child = [&](const char* kind, DWORD style, int id) {
        CreateWindowExA(0, kind, "", WS_CHILD | style, 0, 0, 100, 20, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), windowClass.hInstance, nullptr);
    };
    child("STATIC", 0, kControlDeviceText);
    child("EDIT", 0, kControlDownloading);
    child("STATIC", 0, kControlStatusText);
    child(PROGRESS_CLASSA, 0, kControlProgressBar);
    child("BUTTON", BS_AUTOCHECKBOX, kControlErased);
    child("BUTTON", BS_AUTOCHECKBOX, kControlCefs);
    child("BUTTON", BS_AUTOCHECKBOX, kControlFota);
    return window;
}

struct RunSide {
    WindowLink* link = nullptr;
    std::string statusRead;
    bool erasedRead = false;
    std::atomic<int> done{0};
};

unsigned PlayRun(void* argument) {
    auto& run = *static_cast<RunSide*>(argument);
    WindowLink& link = *run.link;
    link.SetControlText(kControlStatusText, "\r\nSend AMSS Image");
    run.statusRead = link.GetControlText(kControlStatusText);
    link.SetCheck(kControlErased, true);
    run.erasedRead = link.GetCheck(kControlErased);
    {
        LabelRequest request{3022, 248, 140, 30, 350};
        std::string text = "Step 3. Upgrading 3rd Image.";
        link.ShowStepLabel(request, text.c_str());
        text.assign("overwritten after the send returned");
    }
    link.SetProgressRange(0, 100);
    link.SetProgressPosition(42);
    link.LayoutDownloadPage();
    link.SetRunState(kRunStateTransfer);
    link.ShowCheckingLine(3, 1);
    link.RunEnded(1);
    link.DrawTimerText("Completed 42 %,Cost Time: 0 MIN 3 SEC ");
    run.done = 1;
    PostThreadMessageA(0, WM_NULL, 0, 0);
    return 0;
}

}  // namespace

TEST(WindowLink, RunCallsReachTheWindowThroughSynchronousMessages) {
    Received messages;
    received = &messages;
    HWND window = CreateTestWindow();
    ASSERT_NE(window, nullptr);
    WindowLink link(window);

    RunSide run;
    run.link = &link;
    ThreadHandle worker = StartThread(PlayRun, &run, 0);
    ASSERT_TRUE(worker);
    // Pump until the run side is through: its sends are handled here, on the window's thread.
    while (run.done == 0) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(1);
    }
    JoinThread(worker);

    EXPECT_EQ(run.statusRead, "\r\nSend AMSS Image");
    EXPECT_TRUE(run.erasedRead);
    ASSERT_EQ(messages.labels.size(), 1u);
    EXPECT_EQ(messages.labels[0].labelControl, 3022);
    EXPECT_EQ(messages.labels[0].left, 248);
    EXPECT_EQ(messages.labels[0].top, 140);
    EXPECT_EQ(messages.labels[0].height, 30);
    EXPECT_EQ(messages.labels[0].width, 350);
    EXPECT_EQ(messages.labelTexts[0], "Step 3. Upgrading 3rd Image.");
    EXPECT_EQ(SendDlgItemMessageA(window, kControlProgressBar, PBM_GETPOS, 0, 0), 42);
    EXPECT_EQ(SendDlgItemMessageA(window, kControlProgressBar, PBM_GETRANGE, FALSE, 0), 100);
    EXPECT_EQ(messages.layouts, 1);
    EXPECT_EQ(link.RunState(), kRunStateTransfer);
    ASSERT_EQ(messages.checkingLines.size(), 1u);
    EXPECT_EQ(messages.checkingLines[0], std::make_pair(3, 1));
    EXPECT_EQ(messages.checkingOwners[0], reinterpret_cast<LPARAM>(window));
    EXPECT_EQ(messages.runEnds, (std::vector<WPARAM>{1}));
    EXPECT_EQ(messages.timerText, "Completed 42 %,Cost Time: 0 MIN 3 SEC ");
    EXPECT_EQ(link.OwnerHandle(), window);

    // The window detaches the link as it goes: a run still under way then reaches nothing,
    // and no call waits for a window thread that will never answer again (this one does
    // not pump any more).
    link.Detach();
    RunSide late;
    late.link = &link;
    ThreadHandle lateWorker = StartThread(PlayRun, &late, 0);
    ASSERT_TRUE(lateWorker);
    for (int waited = 0; late.done == 0 && waited < 5000; waited += 10) Sleep(10);
    ASSERT_EQ(late.done, 1) << "a call after the window went waited for it";
    JoinThread(lateWorker);
    EXPECT_EQ(late.statusRead, "");
    EXPECT_FALSE(late.erasedRead);
    EXPECT_EQ(messages.labels.size(), 1u);
    EXPECT_EQ(messages.layouts, 1);
    EXPECT_EQ(messages.runEnds.size(), 1u);
    EXPECT_EQ(link.OwnerHandle(), nullptr);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    EXPECT_EQ(messages.checkingLines.size(), 1u);
    EXPECT_EQ(SendDlgItemMessageA(window, kControlProgressBar, PBM_GETPOS, 0, 0), 42);
    DestroyWindow(window);
    received = nullptr;
}
