#include "ui/window_link_win32.h"

#include <commctrl.h>

#include <vector>

void WindowLink::SetControlText(int control, const std::string& text) {
    if (HWND window = window_.load()) SetDlgItemTextA(window, control, text.c_str());
}

std::string WindowLink::GetControlText(int control) {
    HWND window = window_.load();
    HWND item = window ? GetDlgItem(window, control) : nullptr;
    if (!item) return {};
    int length = GetWindowTextLengthA(item);
    std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(item, text.data(), length + 1);
    return text.data();
}

bool WindowLink::GetCheck(int control) {
    HWND window = window_.load();
    return window && SendDlgItemMessageA(window, control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void WindowLink::SetCheck(int control, bool checked) {
    if (HWND window = window_.load())
        SendDlgItemMessageA(window, control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void WindowLink::ShowStepLabel(const LabelRequest& request, const char* text) {
    if (HWND window = window_.load())
        SendMessageA(window, kWmStepLabel, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(text));
}

void WindowLink::LayoutDownloadPage() {
    if (HWND window = window_.load()) SendMessageA(window, kWmLayoutDownloadPage, 0, 0);
}

void WindowLink::SetRunState(int state) { runState_ = state; }

void WindowLink::SetProgressRange(int low, int high) {
    if (HWND window = window_.load())
        SendDlgItemMessageA(window, kControlProgressBar, PBM_SETRANGE, 0, MAKELPARAM(low, high));
}

void WindowLink::SetProgressPosition(int position) {
    if (HWND window = window_.load())
        SendDlgItemMessageA(window, kControlProgressBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void WindowLink::RunEnded(int showFinishPage) {
    if (HWND window = window_.load()) SendMessageA(window, kWmRunEnd, static_cast<WPARAM>(showFinishPage), 0);
}

void WindowLink::ShowCheckingLine(int kind, int failed) {
    int line[2] = {kind, failed};
    if (HWND window = window_.load())
        SendMessageA(window, kWmShowPage, reinterpret_cast<WPARAM>(line), reinterpret_cast<LPARAM>(window));
}

void WindowLink::DrawTimerText(const std::string& text) {
    if (HWND window = window_.load()) SendMessageA(window, kWmDrawTimerText, reinterpret_cast<WPARAM>(&text), 0);
}
