#include <gtest/gtest.h>

#include "session/process_values.h"
#include "session/session_driver.h"
#include "session/session_state.h"
#include "session/thread_start.h"
#include "tests/support/recording_window.h"
#include "tests/support/virtual_clock.h"

namespace {
class ProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        session.window = &window;
        currentSession = &session;
    }
    void TearDown() override {
        currentSession = nullptr;
        windows7Flag = 0;
    }
    RecordingWindow window;
    SessionState session;
};

// Waits (in real time: the monitor paces itself by the system clock) until the bar shows `position`.
bool WaitForPosition(RecordingWindow& window, int position) {
    for (int round = 0; round < 2000; ++round) {
        auto positions = window.ProgressPositions();
        if (!positions.empty() && positions.back() == position) return true;
        SystemClock().SleepMs(2);
    }
    return false;
}
}  // namespace

TEST_F(ProgressTest, MonitorFollowsTheCountersAndResetsWhenTheTransferEnds) {
    ThreadHandle monitor = StartThread(MonitorProgress, &session, 0, kThreadPriorityLowest);
    ASSERT_TRUE(monitor);
    EXPECT_TRUE(WaitForPosition(window, 0));  // total not yet set: 0 %
    session.totalCount = 139;
    session.doneCount = 70;
    EXPECT_TRUE(WaitForPosition(window, 50));  // 7000 / 139 = 50 (integer division)
    EXPECT_EQ(progressPercent, 50u);
    session.doneCount = 139;
    EXPECT_TRUE(WaitForPosition(window, 100));
    session.transferDone = 1;
    JoinThread(monitor);
    EXPECT_EQ(window.ProgressPositions().back(), 0);
    EXPECT_EQ(progressPercent, 0u);
    EXPECT_EQ(window.Events().front(), "progress range 0..100");
}

TEST_F(ProgressTest, TimerShowsPercentAndElapsedTimeWhileRunning) {
    ScopedVirtualClock time;
    session.running = 1;
    session.runStartTime = NowSeconds();
    time.clock.Advance(125'000);
    progressPercent = 37;
    OnWindowTimer(session);
    progressPercent = 0;
    EXPECT_EQ(session.timerText, "Completed 37 %,Cost Time: 2 MIN 5 SEC ");
    EXPECT_EQ(session.timerNow, session.runStartTime + 125);
    EXPECT_EQ(window.Events(), (std::vector<std::string>{"timer Completed 37 %,Cost Time: 2 MIN 5 SEC ",
                                                         "text 1002 \r\nDownloading"}));
}

TEST_F(ProgressTest, TimerSaysNoConnectionOnlyWithoutAPort) {
    OnWindowTimer(session);
    session.qualcommPortSeen = 1;
    OnWindowTimer(session);
    session.qualcommPortSeen = 0;
    session.syncPortSeen = 1;
    OnWindowTimer(session);
    EXPECT_EQ(window.Events(), (std::vector<std::string>{"text 1001 NO con"}));
}

TEST_F(ProgressTest, TimerPeriodDependsOnWindowsSeven) {
    windows7Flag = 0;
    EXPECT_EQ(WindowTimerPeriodMs(), 700u);
    windows7Flag = 1;
    EXPECT_EQ(WindowTimerPeriodMs(), 1000u);
}
