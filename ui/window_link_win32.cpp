#include "ui/window_link_win32.h"

#include <commctrl.h>

#include <vector>

WindowLink::WindowLink(HWND window, std::function<void()> layoutDownloadPage,
                       std::function<void(const std::string&)> drawTimerText)
    : window_(window), layoutDownloadPage_(std::move(layoutDownloadPage)), drawTimerText_(std::move(drawTimerText)) {}

void WindowLink::SetControlText(int control, const std::string& text) {
    SetDlgItemTextA(window_, control, text.c_str());
}

std::string WindowLink::GetControlText(int control) {
    HWND item = GetDlgItem(window_, control);
    if (!item) return {};
    int length = GetWindowTextLengthA(item);
    std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(item, text.data(), length + 1);
    return text.data();
}

bool WindowLink::GetCheck(int control) {
    return SendDlgItemMessageA(window_, control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void WindowLink::SetCheck(int control, bool checked) {
    SendDlgItemMessageA(window_, control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void WindowLink::ShowStepLabel(const LabelRequest& request, const char* text) {
    SendMessageA(window_, kWmStepLabel, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(text));
}

void WindowLink::LayoutDownloadPage() {
    if (layoutDownloadPage_) layoutDownloadPage_();
}

void WindowLink::SetRunState(int state) { runState_ = state; }

void WindowLink::SetProgressRange(int low, int high) {
    SendDlgItemMessageA(window_, kControlProgressBar, PBM_SETRANGE, 0, MAKELPARAM(low, high));
}

void WindowLink::SetProgressPosition(int position) {
    SendDlgItemMessageA(window_, kControlProgressBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void WindowLink::RunEnded(int showFinishPage) {
    SendMessageA(window_, kWmRunEnd, static_cast<WPARAM>(showFinishPage), 0);
}

void WindowLink::ShowCheckingLine(int kind, int failed) {
    int line[2] = {kind, failed};
    SendMessageA(window_, kWmShowPage, reinterpret_cast<WPARAM>(line), reinterpret_cast<LPARAM>(window_));
}

void WindowLink::DrawTimerText(const std::string& text) {
    if (drawTimerText_) drawTimerText_(text);
}
