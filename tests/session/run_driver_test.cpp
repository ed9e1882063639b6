#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "session/process_values.h"
#include "session/run_settings.h"
#include "session/session_driver.h"
#include "session/thread_start.h"
#include "tests/support/run_fixture.h"

namespace {

class RunDriverTest : public RunFixture {};

// Set GOLDEN_UPDATE=1 to rewrite a golden file from the current output (then review the diff).
void ExpectGoldenTrace(const std::string& name) {
    std::string trace = ReadWholeFile("trace.txt");
    if (const char* update = std::getenv("GOLDEN_UPDATE"); update && *update == '1')
        std::ofstream(std::string(VELTRANE_TESTS_DIR) + "/session/golden/" + name, std::ios::binary) << trace;
    EXPECT_EQ(trace, Golden("session/golden/" + name));
}

// Progress calls tagged by monitor: a monitor's first call is the range, which numbers it.
class MonitorTaggingWindow final : public QuietWindow {
public:
    void SetProgressRange(int, int) override { Note(-1); }
    void SetProgressPosition(int position) override { Note(position); }
    std::vector<std::pair<int, int>> Calls() {  // {monitor, position; -1 the range}
        ScopedThreadLock hold(lock_);
        return calls_;
    }

private:
    void Note(int position) {
        static thread_local int monitor = 0;
        ScopedThreadLock hold(lock_);
        if (position < 0) monitor = ++monitors_;
        calls_.push_back({monitor, position});
    }
    ThreadLock lock_;
    std::vector<std::pair<int, int>> calls_;
    int monitors_ = 0;
};

}  // namespace

TEST_F(RunDriverTest, OneMonitorAtATimeEachEndingBeforeTheNextAndTheLastBeforeTheRunReturns) {
    MonitorTaggingWindow monitored;
    session.window = &monitored;
    UseSettings("1111111");
    RunSession();
    size_t callsAtReturn = monitored.Calls().size();
    SystemClock().SleepMs(60);  // three monitor rounds: a monitor still alive would show here
    auto calls = monitored.Calls();
    EXPECT_EQ(calls.size(), callsAtReturn) << "a monitor outlived the run";
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), std::make_pair(7, 0));  // stage A and six image stages; the bar left at 0
    for (size_t i = 1; i < calls.size(); ++i) {
        // Once a monitor has begun, the one before never shows again, and it left the bar at 0.
        ASSERT_GE(calls[i].first, calls[i - 1].first) << "monitors " << calls[i - 1].first << " and " << calls[i].first;
        EXPECT_TRUE(calls[i].first == calls[i - 1].first || calls[i - 1].second == 0) << "monitor " << calls[i - 1].first;
    }
    EXPECT_EQ(progressPercent, 0u);
}

TEST_F(RunDriverTest, ARunThatNoWindowPublishedShowsItsTransfersOnASessionOfItsOwn) {
    currentSession = nullptr;
    UseSettings("0000100");
    RunWorker();
    SessionState* own = currentSession.load();
    ASSERT_NE(own, nullptr) << "the transfers had no session to report to";
    EXPECT_NE(own, &session);
    EXPECT_EQ(own->totalCount, 4u);  // the AMSS transfer's counters reached it
    EXPECT_EQ(own->transferDone, 1u);
    EXPECT_EQ(own->running, 0u);
}

TEST_F(RunDriverTest, FullRunWithEveryStageMatchesTheGoldenTrace) {
    UseSettings("1111111");
    std::vector<std::string> eventsAtRestart;
    steps.OnCall("restartHostPrograms", [&] { eventsAtRestart = window.Events(); });
    RunWorker();
    ExpectGoldenTrace("full_run_all_stages.txt");
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(session.running, 0u);
    EXPECT_EQ(window.RunState(), kRunStateFinished);
    // Monitors run on their own threads and may report late: look at the driver's own events.
    std::vector<std::string> events;
    for (const std::string& event : window.Events())
        if (event.rfind("progress", 0) != 0) events.push_back(event);
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[events.size() - 1], "run end 1");
    EXPECT_EQ(events[events.size() - 2], "run state -1");
    EXPECT_EQ(steps.Calls().back(), "restartHostPrograms");
    // Restarted before the finish page is offered: a quick Finish must not cut the starts short.
    EXPECT_EQ(std::count(eventsAtRestart.begin(), eventsAtRestart.end(), "run end 1"), 0);
    EXPECT_FALSE(eventsAtRestart.empty());
}

TEST_F(RunDriverTest, StepLabelsNumberTheStagesThatRun) {
    UseSettings("1111111");
    RunWorker();
    EXPECT_EQ(window.LabelTexts(),
              (std::vector<std::string>{"Now Upgrading the Items:", "Step 0. Installing Agent",
                                        "Step 1. Sending Support Info.", "Step 2. Upgrading 1st Image.",
                                        "Step 3. Upgrading 2nd Image.", "Step 4. Upgrading 3rd Image.",
                                        "Step 5. Upgrading 4th Image.", "Step 6. Upgrading 5th Image.",
                                        "Step 7. Upgrading 6th Image."}));
    auto labels = window.Labels();
    ASSERT_EQ(labels.size(), 9u);
    EXPECT_EQ(labels[3].top, 30 * 3 + 48);
    EXPECT_EQ(labels[8].top, 30 * 8 + 50);
    EXPECT_EQ(labels[7].labelControl, labels[8].labelControl);  // FLASH.bin and CEFS share one label
}

TEST_F(RunDriverTest, StagesSwitchedOffTakeNoLabelAndNoNumber) {
    UseSettings("0000000");
    RunWorker();
    ExpectGoldenTrace("stages_off.txt");
    EXPECT_EQ(window.LabelTexts().size(), 3u);  // items heading, agent, partition
    EXPECT_EQ(steps.Calls().back(), "restartHostPrograms");
    EXPECT_EQ(std::count_if(steps.Calls().begin(), steps.Calls().end(),
                            [](const std::string& call) { return call.find("Image ") != std::string::npos; }),
              0);
}

TEST_F(RunDriverTest, OnlyAmssInServiceModeIsNumberedTwo) {
    accessMode = kAccessService;
    UseSettings("0000100");
    RunWorker();
    auto texts = window.LabelTexts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[3], "2. Send AMSS Image");
    EXPECT_EQ(window.Labels()[3].top, 30 * 3 + 50);
}

TEST_F(RunDriverTest, PartitionStepThatEnablesEveryStageRunsThemAll) {
    UseSettings("0000000");
    steps.OnCall("sendPartitionTable", [] { EnableAllImageStages(); });
    RunWorker();
    std::vector<std::string> writes;
    for (const std::string& call : steps.Calls())
        if (call.rfind("writeImage", 0) == 0) writes.push_back(call);
    EXPECT_EQ(writes, (std::vector<std::string>{"writeImage QcsblHeader", "writeImage Qcsbl", "writeImage Oemsbl",
                                                "writeImage Amss", "writeImage Appsboot", "writeImage FlashBin",
                                                "writeImage Cefs"}));
}

TEST_F(RunDriverTest, VistaRunStopsServicesTwiceAndLogsEnvironmentOne) {
    Environment = 1;
    UseSettings("0000001");
    RunWorker();
    ExpectGoldenTrace("vista_flash_only.txt");
    auto calls = steps.Calls();
    auto first = std::find(calls.begin(), calls.end(), "clearHostServices first");
    auto again = std::find(calls.begin(), calls.end(), "clearHostServices again");
    auto go = std::find(calls.begin(), calls.end(), "sendGo");
    ASSERT_NE(first, calls.end());
    ASSERT_NE(again, calls.end());
    EXPECT_LT(first, go);
    EXPECT_GT(again, go);
}

TEST_F(RunDriverTest, MissingProgramFileOnlyEndsTheWorker) {
    steps.SetResult("checkProgramFile", 0);
    UseSettings("1111111");
    RunWorker();
    EXPECT_EQ(steps.Calls(), (std::vector<std::string>{"checkProgramFile"}));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(RunDriverTest, InitialModeNames) {
    for (auto [mode, name] : {std::pair{0, "Download"}, std::pair{1, "WinMobile"}, std::pair{-1, "????"}}) {
        initialMode = mode;
        steps.SetResult("checkProgramFile", 0);
        RunWorker();
        EXPECT_EQ(ReadWholeFile("trace.txt").rfind(std::string("Initial Mode : ") + name + "\n", 0), 0u) << mode;
    }
}

TEST_F(RunDriverTest, ProgressReachesTheBarAndResetsAfterEachTransfer) {
    UseSettings("0000100");
    RunWorker();
    auto positions = window.ProgressPositions();
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions.back(), 0);
    EXPECT_TRUE(std::all_of(positions.begin(), positions.end(), [](int p) { return p >= 0 && p <= 100; }));
    EXPECT_EQ(progressPercent, 0u);
}
