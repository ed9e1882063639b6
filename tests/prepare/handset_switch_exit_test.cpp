// A refused handset ends the process with status 1 after one "Notice." box owned by the
// published window.
#include <gtest/gtest.h>

#include <cstdio>

#include "prepare/handset_switch.h"
#include "session/message_box.h"
#include "session/process_values.h"
#include "session/window_seam.h"
#include "tests/prepare/fake_remote_api.h"

namespace {
class OwnerWindow final : public QuietWindow {
public:
    void* OwnerHandle() override { return reinterpret_cast<void*>(0x1234); }
};
}  // namespace

TEST(HandsetSwitchExit, RefusalShowsItsBoxOwnedByTheWindowAndEndsWithStatusOne) {
    ScopedFakeHandset fake;
    fake.handset.batteryPercent = 20;
    OwnerWindow window;
    mainWindow = &window;
    SetMessageBoxHandler([](const char* text, const char* caption, void* owner) {
        std::fprintf(stderr, "box[%s|%s|%p]\n", caption, text, owner);
    });
    EXPECT_EXIT(SwitchHandsetToDownloadMode(), ::testing::ExitedWithCode(1),
                "box\\[Notice\\.\\|Not enough battery volume\\.\\|0x1234\\]");
}
