// The Password dialog's rules: the exact access password and the twelve-key unlock.
#include <gtest/gtest.h>

#include <vector>

#include "session/process_values.h"
#include "ui/password_keys.h"
#include "ui/wizard_rules.h"

namespace {
// The documented unlock: F1..F9, F11, F12 and F1 again.
const std::vector<int> kUnlock = {0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x7A, 0x7B, 0x70};

int Type(KeyRecord& record, const std::vector<int>& keys, int mode) {
    for (int key : keys) mode = record.OnKeyDown(key, mode);
    return mode;
}
}  // namespace

TEST(PasswordKeys, OnlyTheExactPasswordUnlocksAndServiceModeSkipsTheComparison) {
    EXPECT_EQ(AccessModeAfterOk("3Kp5RM2V6Q", kAccessLocked), kAccessNormal);
    EXPECT_EQ(AccessModeAfterOk("3kp5RM2V6Q", kAccessLocked), 1);   // letter case
    EXPECT_EQ(AccessModeAfterOk("3Kp5RM2V6Q ", kAccessLocked), 1);  // a trailing blank
    EXPECT_EQ(AccessModeAfterOk("3Kp5RM2V6", kAccessLocked), -1);
    EXPECT_EQ(AccessModeAfterOk("", kAccessService), kAccessService);
}

TEST(PasswordKeys, TwelveKeysOfTheUnlockSumOpenServiceModeAndTheThirteenthOnlyRestarts) {
    KeyRecord record;
    EXPECT_EQ(Type(record, kUnlock, kAccessLocked), kAccessService);
    EXPECT_EQ(record.OnKeyDown('A', kAccessService), kAccessService);  // not recorded: the count restarts
    EXPECT_EQ(record.Count(), 0);
    // Twelve keys of another sum lock the mode again.
    EXPECT_EQ(Type(record, std::vector<int>(12, 'Z'), kAccessService), kAccessLocked);
}

TEST(PasswordKeys, TypingThePasswordWithItsShiftsNeverReachesTheUnlock) {
    // Every twelve-key window of the password typed with Shift before each capital, then Enter.
    const std::vector<int> typed = {'3', 0x10, 'K', 'P', '5', 0x10, 'R', 0x10, 'M', '2', 0x10, 'V', '6', 0x10, 'Q', 0x0D};
    for (size_t start = 0; start < typed.size(); ++start) {
        KeyRecord record;
        std::vector<int> keys(typed.begin() + start, typed.end());
        keys.insert(keys.end(), typed.begin(), typed.end());
        EXPECT_EQ(Type(record, keys, kAccessLocked), kAccessLocked) << start;
    }
    EXPECT_GT(kServiceUnlockSum, 12 * 'Z');
}

TEST(PasswordKeys, AKeyTheDialogItselfReceivesIsRecordedTwice) {
    KeyRecord record;
    int mode = kAccessLocked;
    // Six keys that reach the dialog window: each counts twice, so six make twelve.
    for (int key : {0x7B, 0x7B, 0x7A, 0x78, 0x77, 0x76}) {
        mode = record.OnKeyDown(key, mode);
        record.AppendDialogKey(key);
    }
    EXPECT_EQ(record.Count(), 12);
    record.AppendDialogKey(0x70);  // a full record takes no more
    EXPECT_EQ(record.Count(), 12);
}

TEST(WizardRules, ErasedChecksTheImageBoxesAgainButNotWinOrCefs) {
    std::vector<int> checked;
    for (const int* id = BoxesTheEraseRuleChecks(true); *id; ++id) checked.push_back(*id);
    EXPECT_EQ(checked, (std::vector<int>{1013, 1017, 1029, 1021}));
    EXPECT_EQ(*BoxesTheEraseRuleChecks(false), 0);
    EXPECT_TRUE(InCloseArea(600, 20));
    EXPECT_FALSE(InCloseArea(600, 41));
    EXPECT_TRUE(InDragBand(54));
    EXPECT_FALSE(InDragBand(55));
    EXPECT_EQ(CheckingLineOfKind(4)->labelWidth, 170);
    EXPECT_EQ(CheckingLineOfKind(5), nullptr);
}
