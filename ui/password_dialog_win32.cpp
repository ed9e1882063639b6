#include "ui/password_dialog_win32.h"

#include <string>
#include <vector>

#include "session/control_ids.h"
#include "session/process_values.h"

Password::Password() : DialogWindow(IDD_PASSWORD) {}

void Password::OnOK() {
    HWND field = GetDlgItem(Handle(), IDC_PASSWORD_TEXT);
    const int length = field ? GetWindowTextLengthA(field) : 0;
    std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
    if (field) GetWindowTextA(field, text.data(), length + 1);
    accessMode = AccessModeAfterOk(text.data(), accessMode);
    DialogWindow::OnOK();
}

// Every key-down for the dialog or one of its controls counts, the typed text included.
bool Password::PreTranslateMessage(MSG& message) {
    if (message.message == WM_KEYDOWN &&
        (message.hwnd == Handle() || IsChild(Handle(), message.hwnd)))
        accessMode = keys_.OnKeyDown(static_cast<int>(message.wParam), accessMode);
    return false;  // on to the dialog: Enter still presses OK
}

// A key the dialog window itself receives is recorded a second time.
INT_PTR Password::OnMessage(UINT message, WPARAM wParam, LPARAM, bool& handled) {
    handled = false;
    if (message == WM_KEYDOWN) keys_.AppendDialogKey(static_cast<int>(wParam));
    return 0;
}
