// CTarnDlg's pages and the Next handler: notice, checking, download, finish.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "package/image_checks.h"
#include "package/image_folder.h"
#include "session/clock.h"
#include "session/control_ids.h"
#include "session/current_directory.h"
#include "session/message_box.h"
#include "session/process_exit.h"
#include "session/process_values.h"
#include "session/session_driver.h"
#include "session/session_state.h"
#include "session/thread_start.h"
#include "session/trace_log.h"
#include "ui/tarn_dialog_win32.h"
#include "ui/window_link_win32.h"
#include "ui/wizard_rules.h"

namespace {

constexpr RECT kCheckingHeading{248, 48, 248 + 200, 48 + 40};
constexpr RECT kFailureBox{248, 288, 248 + 200, 288 + 100};

// The controls a run disables and the end state enables again.
constexpr int kRunControls[] = {IDC_CEFS_ERASED, IDC_ERASED, IDC_AMSS, IDC_WIN, IDC_QCSBL,
                                IDC_OEMSBL,      IDC_WMBOOT, IDC_CEFS, IDC_FOTA};

std::string ControlText(HWND window, int id) {
    char text[1024] = {};
    GetDlgItemTextA(window, id, text, sizeof text);
    return text;
}

}  // namespace

void CTarnDlg::ClearCheckingPage() {
    for (int id = IDC_FIRST_CHECKING; id <= IDC_CHECKING_FAILURE_BOX; ++id) {
        HWND control = GetDlgItem(Handle(), id);
        if (!control) continue;
        ShowWindow(control, SW_HIDE);
        DrawLabel(ControlRect(id), "");
    }
    DrawLabel(kFailureBox, "");
}

void CTarnDlg::ShowCheckingLine(int kind, bool failed) {
    const CheckingLine* line = CheckingLineOfKind(kind);
    if (!line) return;
    if (kind == 1) {
        SleepMs(1000);
        for (int id = IDC_NEXT_IMAGE; id <= IDC_NOTICE_TEXT; ++id) ShowWindow(GetDlgItem(Handle(), id), SW_HIDE);
        DrawLabel(kCheckingHeading, "Now Checking the Items:");
    }
    HWND mark = GetDlgItem(Handle(), line->markControl);
    SetWindowPos(mark, nullptr, 248, line->top, 20, 20, SWP_NOZORDER | SWP_SHOWWINDOW);
    SetFace(line->markControl, failed ? IDP_FAILED : IDP_PASSED);
    const RECT labelArea{248 + 30, line->top, 248 + 30 + line->labelWidth, line->top + 20};
    SetWindowPos(GetDlgItem(Handle(), line->labelControl), nullptr, labelArea.left, labelArea.top, line->labelWidth, 20,
                 SWP_NOZORDER | SWP_HIDEWINDOW);
    DrawLabel(labelArea, line->text);
    if (failed) {
        SetWindowPos(GetDlgItem(Handle(), IDC_CHECKING_FAILURE_BOX), nullptr, kFailureBox.left, kFailureBox.top, 200,
                     100, SWP_NOZORDER | SWP_HIDEWINDOW);
        DrawLabel(kFailureBox, ControlText(Handle(), IDC_STATUS_TEXT));
    }
}

void CTarnDlg::DoLayoutDownloadPage() {
    ShowWindow(Handle(), SW_SHOW);
    ClearCheckingPage();
    DrawLabel(kCheckingHeading, "");
    DrawLabel(ControlRect(IDC_NOTICE_TEXT), "");
    SetWindowPos(GetDlgItem(Handle(), IDC_DEVICE_TEXT), nullptr, 248, 370, 372, 24, SWP_NOZORDER | SWP_HIDEWINDOW);
    DrawLabel(ControlRect(IDC_DEVICE_TEXT), "");
    ShowWindow(GetDlgItem(Handle(), IDC_PROGRESS_UNDERLAY), SW_SHOW);
    SetFace(IDC_PROGRESS_UNDERLAY, IDP_PROGRESS_UNDERLAY);
    // The bar lies over its underlay, in the skin's colours rather than the system's.
    HWND bar = GetDlgItem(Handle(), IDC_PROGRESS_BAR);
    SendMessageA(bar, PBM_SETBKCOLOR, 0, RGB(12, 34, 44));
    SendMessageA(bar, PBM_SETBARCOLOR, 0, RGB(38, 166, 178));
    SetWindowPos(bar, HWND_TOP, 248, 394, 372, 14, SWP_SHOWWINDOW);
}

void CTarnDlg::OnStepLabel(const LabelRequest& request, const char* text) {
    SetWindowPos(GetDlgItem(Handle(), request.labelControl), nullptr, request.left, request.top, request.width,
                 request.height, SWP_NOZORDER | SWP_NOREDRAW);
    const RECT area{request.left, request.top, request.left + request.width, request.top + request.height};
    DrawLabel(area, text ? text : "");
}

void CTarnDlg::OnRunEnd(bool showFinishPage) {
    if (showFinishPage) {
        finishPageShown_ = true;
        DrawLabel(ControlRect(IDC_NOTICE_TEXT), " Upgrade Successfully.");
        // The operator needs the button that ends it all.
        SetWindowPos(GetDlgItem(Handle(), IDC_NEXT_IMAGE), nullptr, 490, 427, 130, 42, SWP_NOZORDER | SWP_SHOWWINDOW);
        SetWindowPos(GetDlgItem(Handle(), IDC_NEXT_IMAGE_HOT), nullptr, 490, 427, 130, 42, SWP_NOZORDER);
    }
    busy_ = false;
    hoverLock_ = false;
    EnableWindow(GetDlgItem(Handle(), IDC_NEXT), TRUE);
    EnableRunControls(true);
    finished_ = true;
    ShowNextFaces();
    if (session_) session_->running = 0;
}

void CTarnDlg::EnableRunControls(bool enable) {
    for (int id : kRunControls) EnableWindow(GetDlgItem(Handle(), id), enable ? TRUE : FALSE);
}

void CTarnDlg::ToggleAccept() {
    HWND plain = GetDlgItem(Handle(), IDC_ACCEPT_BOX);
    HWND ticked = GetDlgItem(Handle(), IDC_ACCEPT_BOX_TICKED);
    // Setting the check this way leaves button 1's enable state alone.
    if (IsDlgButtonChecked(Handle(), IDC_ACCEPT) == BST_CHECKED) {
        CheckDlgButton(Handle(), IDC_ACCEPT, BST_UNCHECKED);
        ShowWindow(ticked, SW_HIDE);
        ShowWindow(plain, SW_SHOW);
    } else {
        CheckDlgButton(Handle(), IDC_ACCEPT, BST_CHECKED);
        ShowWindow(plain, SW_HIDE);
        ShowWindow(ticked, SW_SHOW);
    }
}

void CTarnDlg::ApplyOptionRule() {
    const bool erased = IsDlgButtonChecked(Handle(), IDC_ERASED) == BST_CHECKED;
    for (const int* id = BoxesTheEraseRuleChecks(erased); *id; ++id) CheckDlgButton(Handle(), *id, BST_CHECKED);
}

void CTarnDlg::OnNextClicked() {
    if (busy_) return;
    if (finished_) {
        CloseWindow();
        return;
    }
    hoverLock_ = true;
    if (IsDlgButtonChecked(Handle(), IDC_ACCEPT) != BST_CHECKED) {
        ShowMessageBox("You have to read fellowing notice items and choice accept.", "Notice.", Handle());
        return;
    }
    SessionState& session = *session_;
    const auto anyDevice = [&session] {
        return session.qualcommPortSeen == 1 || session.syncPortSeen == 1 || session.wmdcDeviceSeen == 1;
    };
    if (!anyDevice()) {
        if (actions_.scanDevices) actions_.scanDevices(session);
        if (!anyDevice()) {
            ShowMessageBox("No Connected", "Notice.", nullptr);
            return;
        }
    }
    if (InServiceMode()) {
        if (ChooseImageFolder(Handle(), session) != 1) return;
    } else {
        session.imageFolder.clear();
    }
    runStarted_ = true;
    ClearCheckingPage();
    switch (CheckPackageAtNext()) {
    case 0: break;
    case 1:
        SetDlgItemTextA(Handle(), IDC_STATUS_TEXT, kLackFileText);
        ShowCheckingLine(1, true);
        return;
    case -1:
        SetDlgItemTextA(Handle(), IDC_STATUS_TEXT, kCannotOpenFileText);
        ShowCheckingLine(1, true);
        return;
    default: return;
    }
    // Nothing is touched on the handset or the desktop unless the run can keep its record.
    if (!TraceFileCanBeCreated()) {
        const std::string text = FormatText("Can't create %s in %s", kTraceFileName, CurrentDirectoryText().c_str());
        ShowMessageBox(text.c_str(), "Error", nullptr);
        ExitProcessNormally(1);
    }
    busy_ = true;
    ShowCheckingLine(1, false);
    if (actions_.scanDevices) actions_.scanDevices(session);
    if (session.wmdcDeviceSeen == 1) {
        initialMode = 1;
        if (actions_.switchHandsetToDownloadMode) actions_.switchHandsetToDownloadMode();
    } else {
        initialMode = session.syncPortSeen == 1 ? 0 : -1;
    }
    for (int round = 0; round < 3; ++round)
        if (actions_.killApplications) actions_.killApplications(*link_);
    if (session.devicePresent != 2) {
        SetDlgItemTextA(Handle(), IDC_STATUS_TEXT, "Port not Connected");
        ShowCheckingLine(2, true);
        return;
    }
    EnableWindow(GetDlgItem(Handle(), IDC_NEXT), FALSE);
    EnableRunControls(false);
    ThreadHandle watch = StartThread(WaitForDownloadPort, &session, kWatchThreadStack);
    if (!watch) {
        // Without the watch thread no run can start, and the desktop programs are ended already.
        ShowMessageBox("Can't start the thread that waits for the handset (100 MiB stack)", "Error", nullptr);
        ExitProcessNormally(1);
    }
    DetachThread(watch);
}
