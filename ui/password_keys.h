// The access password and the key-sequence unlock of the Password dialog.
#pragma once

#include <string>

// The password that unlocks normal operation (exact, case-sensitive).
constexpr const char* kAccessPassword = "3Kp5RM2V6Q";

// Service mode opens when twelve key-downs in a row add up to this sum: the function keys
// F1, F2, F3, F4, F5, F6, F7, F8, F9, F11, F12 and F1 again (virtual-key codes 112..123
// without F10, which arrives as a system key), in any order. Typing the password can never
// reach it: letters, digits and Shift are at most 90 each, twelve of them at most 1,080.
constexpr int kServiceUnlockSum = 112 + 113 + 114 + 115 + 116 + 117 + 118 + 119 + 120 + 122 + 123 + 112;  // 1,401

// The dialog's record of the last key-downs.
class KeyRecord {
public:
    // The dialog's message hook, for every key-down addressed to it or its controls.
    // Returns the access mode the key leaves (unchanged: `currentMode`).
    int OnKeyDown(int virtualKey, int currentMode);
    // A key-down the dialog window itself receives (no control has the focus): appended
    // again after the hook saw it; an append to a full record is dropped.
    void AppendDialogKey(int virtualKey);

    int Count() const { return count_; }

private:
    int keys_[12] = {};
    int count_ = 0;
};

// The OK button's check: 0 for the access password, -1 or 1 (locked) for any other text;
// service mode (9) is kept without comparing.
int AccessModeAfterOk(const std::string& typed, int currentMode);
