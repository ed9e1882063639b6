#include <gtest/gtest.h>

#include "session/process_values.h"
#include "session/run_settings.h"
#include "session/session_driver.h"
#include "session/worker_thread.h"
#include "tests/support/run_fixture.h"

namespace {
class WatchThreadTest : public RunFixture {
protected:
    // Installs a device scan that plays `script(poll)` on each poll (poll counted from 1).
    void ScanWith(std::function<void(SessionState&, int)> script) {
        StepOperations operations = Steps();
        operations.scanDevices = [this, script](SessionState& state) { script(state, ++polls); };
        InstallStepOperations(operations);
    }
    int polls = 0;
};
}  // namespace

TEST_F(WatchThreadTest, RefusesAHandsetStillInWindowsMobileOnTheSixtyFirstPoll) {
    imageIdentificationWord = 0x2F;
    ScanWith([](SessionState& state, int) { state.wmdcDeviceSeen = 1; });
    EXPECT_EQ(WaitForDownloadPort(&session), 0u);
    EXPECT_EQ(polls, 61);
    EXPECT_EQ(time.clock.SleptMs(), 61u * 1000u);
    const std::string text = "Can't Transfer from WinMobile to Download mode [CustLanguage 2f]";
    EXPECT_EQ(boxes, (std::vector<std::string>{"Warning|" + text}));
    auto events = window.Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0], "text 1006 " + text);
    EXPECT_EQ(events[1], "checking line 3 1");
    EXPECT_EQ(events[2], "run end 0");
    EXPECT_EQ(currentSession.load(), &session);
}

TEST_F(WatchThreadTest, AWindowsMobileDeviceSeenOnceCountsEvenAfterItVanished) {
    ScanWith([](SessionState& state, int poll) {
        if (poll == 1) state.wmdcDeviceSeen = 1;  // flags are never cleared by a scan that finds nothing
    });
    WaitForDownloadPort(&session);
    EXPECT_EQ(polls, 61);
}

TEST_F(WatchThreadTest, KeepsPollingWithoutAWindowsMobileDeviceUntilTheSyncPortAppears) {
    steps.SetResult("checkProgramFile", 0);  // the worker stops right after opening the trace
    ScanWith([](SessionState& state, int poll) {
        if (poll == 200) state.syncPortSeen = 1;
    });
    WriteWholeFile("a.ini", "0000000");
    EXPECT_EQ(WaitForDownloadPort(&session), 0u);
    WaitForWorkerThread();
    EXPECT_EQ(polls, 200);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(runSettings.writeAmss, 0);  // the settings were read before the worker started
    EXPECT_EQ(steps.Calls(), (std::vector<std::string>{"checkProgramFile"}));
    EXPECT_EQ(ReadWholeFile("trace.txt"), "Initial Mode : Download\n{checkProgramFile index 0}\n");
}

TEST_F(WatchThreadTest, SyncPortAfterWindowsMobileStartsTheRunBeforeTheLimit) {
    steps.SetResult("checkProgramFile", 0);
    ScanWith([](SessionState& state, int poll) {
        state.wmdcDeviceSeen = poll < 30 ? 1u : 0u;
        if (poll >= 30) state.syncPortSeen = 1;
    });
    WaitForDownloadPort(&session);
    WaitForWorkerThread();
    EXPECT_EQ(polls, 30);
    EXPECT_TRUE(boxes.empty());
}
