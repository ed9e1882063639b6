// The Password dialog (template 210): the access password in field 1002, or the
// twelve-key sequence that opens service mode. Its outcome is the access mode.
#pragma once

#include "ui/dialog_window_win32.h"
#include "ui/password_keys.h"

class Password final : public DialogWindow {
public:
    Password();

protected:
    void OnOK() override;
    bool PreTranslateMessage(MSG& message) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    KeyRecord keys_;
};
