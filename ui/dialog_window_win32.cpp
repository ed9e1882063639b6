#include "ui/dialog_window_win32.h"

DialogWindow::~DialogWindow() {
    if (window_) DestroyWindow(window_);
}

INT_PTR DialogWindow::RunModal(HWND owner) {
    ended_ = false;
    window_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), owner, Procedure,
                                 reinterpret_cast<LPARAM>(this));
    if (!window_) return -1;
    if (owner) EnableWindow(owner, FALSE);
    // Shown once initialised, as a modal dialog is, and in front so the keyboard reaches it.
    if (!ended_) {
        ShowWindow(window_, SW_SHOW);
        SetForegroundWindow(window_);
    }
    MSG message;
    while (!ended_) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));  // for the loop outside
            break;
        }
        if (PreTranslateMessage(message)) continue;
        if (IsDialogMessageA(window_, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (owner) EnableWindow(owner, TRUE);
    DestroyWindow(window_);
    window_ = nullptr;
    return result_;
}

void DialogWindow::EndDialog(INT_PTR code) {
    result_ = code;
    ended_ = true;
    if (window_) ShowWindow(window_, SW_HIDE);
}

bool DialogWindow::OnCommand(int id, int, HWND) {
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

INT_PTR DialogWindow::OnMessage(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

bool DialogWindow::PreTranslateMessage(MSG&) { return false; }

INT_PTR CALLBACK DialogWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogWindow* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<DialogWindow*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        self->window_ = window;
        return self->OnInitDialog();
    }
    self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_COMMAND) {
        return self->OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    }
    bool handled = false;
    const INT_PTR result = self->OnMessage(message, wParam, lParam, handled);
    if (!handled) return FALSE;
    // These few answer through the procedure's own result, the rest through DWLP_MSGRESULT.
    const bool direct = (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) ||
                        message == WM_QUERYDRAGICON || message == WM_COMPAREITEM ||
                        message == WM_VKEYTOITEM || message == WM_CHARTOITEM;
    if (direct) return result;
    SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
    return TRUE;
}
