#include "ui/password_keys.h"

#include <cstring>

#include "session/process_values.h"

int KeyRecord::OnKeyDown(int virtualKey, int currentMode) {
    if (count_ == 11) {
        keys_[11] = virtualKey;
        count_ = 12;
        int sum = 0;
        for (int key : keys_) sum += key;
        if (sum == kServiceUnlockSum) return kAccessService;
        for (int i = 0; i < 11; ++i) keys_[i] = 0;
        return kAccessLocked;
    }
    if (count_ < 11) {
        keys_[count_++] = virtualKey;
        return currentMode;
    }
    count_ = 0;  // the key after a sum check only starts a new sequence
    return currentMode;
}

void KeyRecord::AppendDialogKey(int virtualKey) {
    if (count_ >= 12) return;
    keys_[count_++] = virtualKey;
}

int AccessModeAfterOk(const std::string& typed, int currentMode) {
    if (currentMode == kAccessService) return currentMode;
    const int order = std::strcmp(typed.c_str(), kAccessPassword);
    return order == 0 ? kAccessNormal : order < 0 ? -1 : 1;
}
