#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>

#ifndef _WIN32
#include <fcntl.h>
#include <time.h>
#include <unistd.h>
#endif

#include "session/process_values.h"
#include "session/session_state.h"
#include "session/thread_start.h"
#include "tests/support/temp_directory.h"
#include "tests/support/virtual_clock.h"
#include "tests/transport/scripted_port.h"
#include "tools/flash/console_display.h"
#include "tools/flash/console_port_search.h"
#include "tools/flash/named_port_search.h"
#include "tools/flash/system_error_text.h"
#include "session/trace_log.h"

namespace {

// The display writes to a file; the test reads back what a user would have seen.
class ConsoleDisplayTest : public ::testing::Test {
protected:
    void SetUp() override { out = std::tmpfile(); }
    void TearDown() override { std::fclose(out); }
    std::string Shown() { return Contents(out); }
    static std::string Contents(std::FILE* file) {
        std::fflush(file);
        std::rewind(file);
        std::string text;
        for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
        return text;
    }
    static size_t Lines(const std::string& text) {
        size_t lines = 0;
        for (char c : text) lines += c == '\n';
        return lines;
    }

    ScopedVirtualClock time;
    SessionState session;
    std::FILE* out = nullptr;
};

}  // namespace

TEST_F(ConsoleDisplayTest, StagesAreNamedByTheirLabels) {
    EXPECT_STREQ(ConsoleDisplay::StageName(3017, "Step 0. Installing Agent"), "programmer");
    EXPECT_STREQ(ConsoleDisplay::StageName(3022, "Step 4. Upgrading 3rd Image."), "AMSS");
    EXPECT_STREQ(ConsoleDisplay::StageName(3023, "Step 6. Upgrading 5th Image."), "FLASH.bin");
    EXPECT_STREQ(ConsoleDisplay::StageName(3023, "Step 7. Upgrading 6th Image."), "CEFS");
    EXPECT_STREQ(ConsoleDisplay::StageName(3023, "7. Send CEFS"), "CEFS");
    EXPECT_EQ(ConsoleDisplay::StageName(3025, "Now Upgrading the Items:"), nullptr);
}

TEST_F(ConsoleDisplayTest, PlainLinesAtMostTenASecondWithFiguresOfTheStage) {
    ConsoleDisplay display(out, false, session);
    display.ShowStepLabel({3022, 248, 140, 30, 350}, "Step 2. Upgrading 3rd Image.");
    session.totalCount = 25;
    session.doneCount = 5;
    time.clock.Advance(2000);
    display.SetProgressPosition(20);
    for (int i = 0; i < 20; ++i) display.SetProgressPosition(20);  // within the same tenth of a second
    time.clock.Advance(100);
    session.doneCount = 10;
    display.SetProgressPosition(40);
    std::string shown = Shown();
    EXPECT_EQ(Lines(shown), 3u) << shown;  // the stage name and two progress lines
    EXPECT_EQ(shown.rfind("AMSS\n", 0), 0u);
    EXPECT_NE(shown.find(" 20%     4.0 MB / 20.0 MB "), std::string::npos) << shown;
    EXPECT_NE(shown.find("2.0 MB/s"), std::string::npos) << shown;  // 4 MB in two seconds
    EXPECT_NE(shown.find(" 40% "), std::string::npos) << shown;
    EXPECT_EQ(display.BytesMoved(), 10u * 798720u);
}

TEST_F(ConsoleDisplayTest, TerminalRewritesOneLineAndFinishesOnRunEnd) {
    ConsoleDisplay display(out, true, session);
    display.ShowStepLabel({3017, 248, 80, 30, 350}, "Step 0. Installing Agent");
    session.totalCount = 28;
    session.doneCount = 14;
    time.clock.Advance(500);
    display.SetProgressPosition(50);
    EXPECT_FALSE(display.Finished());
    display.RunEnded(1);
    EXPECT_TRUE(display.Finished());
    std::string shown = Shown();
    EXPECT_NE(shown.find("\r  programmer       50%"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\033[K"), std::string::npos);
}

TEST_F(ConsoleDisplayTest, EndStateWithoutFinishIsNotASuccess) {
    ConsoleDisplay display(out, false, session);
    display.RunEnded(0);
    EXPECT_FALSE(display.Finished());
}

#ifndef _WIN32
// The worker may wait for the display while the low-priority monitor holds it (writing to
// a slow terminal). The waiter must sleep: a spinning time-critical worker would keep the
// holder from ever running again on Windows.
TEST_F(ConsoleDisplayTest, AThreadWaitingForTheDisplaySleepsInsteadOfSpinning) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    // A full pipe: the display's next write blocks while it holds the display.
    fcntl(ends[1], F_SETFL, O_NONBLOCK);
    char block[4096] = {};
    while (write(ends[1], block, sizeof block) > 0) {
    }
    fcntl(ends[1], F_SETFL, 0);
    std::FILE* slowTerminal = fdopen(ends[1], "w");
    ConsoleDisplay display(slowTerminal, false, session);

    struct Shared {
        ConsoleDisplay* display;
        std::atomic<long long> waiterCpuNs{-1};
    } shared{&display};
    ThreadHandle holder = StartThread(
        [](void* argument) -> unsigned {
            static_cast<Shared*>(argument)->display->ShowStepLabel({3017, 248, 80, 30, 350}, "Step 0. Installing Agent");
            return 0;
        },
        &shared, 0);
    SystemClock().SleepMs(100);  // the holder is now blocked in its write
    ThreadHandle waiter = StartThread(
        [](void* argument) -> unsigned {
            auto& state = *static_cast<Shared*>(argument);
            timespec before{}, after{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &before);
            state.display->GetControlText(kControlStatusText);
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &after);
            state.waiterCpuNs = (after.tv_sec - before.tv_sec) * 1000000000LL + (after.tv_nsec - before.tv_nsec);
            return 0;
        },
        &shared, 0);
    SystemClock().SleepMs(400);
    EXPECT_EQ(shared.waiterCpuNs.load(), -1) << "the waiter got the display while a write held it";
    while (read(ends[0], block, sizeof block) == static_cast<ssize_t>(sizeof block) && shared.waiterCpuNs.load() < 0) {
    }
    JoinThread(holder);
    JoinThread(waiter);
    std::fclose(slowTerminal);
    close(ends[0]);
    EXPECT_LT(shared.waiterCpuNs.load(), 100'000'000LL);  // 400 ms of waiting, next to no processor time
}
#endif

TEST(HumanFigures, BytesAndDurations) {
    EXPECT_EQ(HumanBytes(512), "512 B");
    EXPECT_EQ(HumanBytes(798720), "799 kB");
    EXPECT_EQ(HumanBytes(110672263), "110.7 MB");
    EXPECT_EQ(HumanDuration(65), "1:05");
    EXPECT_EQ(HumanDuration(3723), "1:02:03");
}

TEST(NamedPortSearch, TriesThreeHundredAndOneTimesThenGivesUp) {
    TempDirectory directory;
    ScopedVirtualClock time;
    ScriptedPort port;
    port.SetOpenResult(2);
    Trace().Open();
    EXPECT_EQ(OpenNamedDownloadPort("/dev/ttyUSB0"), 0);
    Trace().Close();
    std::string trace = ReadWholeFile("trace.txt");
    size_t attempts = 0;
    for (size_t at = trace.find("Open port /dev/ttyUSB0 status 2\n"); at != std::string::npos;
         at = trace.find("Open port /dev/ttyUSB0 status 2\n", at + 1))
        ++attempts;
    EXPECT_EQ(attempts, 301u);
    EXPECT_EQ(time.clock.SleptMs(), 301u * 100u);
    EXPECT_EQ(trace.substr(trace.size() - 22), "Can't Connected Port.\n");
}

TEST(NamedPortSearch, OpensAsSoonAsThePortIsThere) {
    TempDirectory directory;
    ScopedVirtualClock time;
    ScriptedPort port;
    Trace().Open();
    EXPECT_EQ(OpenNamedDownloadPort("/dev/ttyUSB0"), 1);
    Trace().Close();
    EXPECT_EQ(ReadWholeFile("trace.txt"), "Open port /dev/ttyUSB0 status 0\n");
    EXPECT_EQ(time.clock.SleptMs(), 0u);
}

namespace {
// A clock under which the port appears after the search has slept `failures` times.
class PortAppearsAfter final : public Clock {
public:
    PortAppearsAfter(ScriptedPort& port, int failures) : port_(port), failures_(failures) {}
    int64_t NowSeconds() override { return 1700000000; }
    uint64_t MonotonicMs() override { return 0; }
    void SleepMs(uint32_t) override {
        if (++sleeps_ == failures_) port_.SetOpenResult(0);
    }

private:
    ScriptedPort& port_;
    int failures_;
    int sleeps_ = 0;
};
}  // namespace

TEST(NamedPortSearch, TheThreeHundredAndFirstAttemptEndsTheSearchEvenWhenItOpens) {
    // {attempt that opens the port, result, how the trace ends}
    const struct {
        int opening;
        int result;
        const char* traceEnd;
    } cases[] = {
        {300, 1, "status 2\nOpen port /dev/ttyUSB0 status 0\n"},
        {301, 0, "status 2\nOpen port /dev/ttyUSB0 status 0\nCan't Connected Port.\n"},
    };
    for (const auto& c : cases) {
        TempDirectory directory;
        ScriptedPort port;
        port.SetOpenResult(2);
        PortAppearsAfter clock(port, c.opening - 1);
        SetClock(&clock);
        Trace().Open();
        EXPECT_EQ(OpenNamedDownloadPort("/dev/ttyUSB0"), c.result) << c.opening;
        Trace().Close();
        SetClock(nullptr);
        std::string trace = ReadWholeFile("trace.txt");
        std::string end = c.traceEnd;
        EXPECT_EQ(trace.substr(trace.size() - std::min(trace.size(), end.size())), end) << c.opening;
        EXPECT_EQ(port.IsOpen(), c.result == 1) << c.opening;  // a search that gives up leaves the port closed
    }
}

// The user sees what the search waits for, and why it gave up.
TEST_F(ConsoleDisplayTest, PortSearchSaysWhatItWaitsForAndWhyItGaveUp) {
    TempDirectory directory;
    ScriptedPort port;
    port.SetOpenResult(2);  // ENOENT, ERROR_FILE_NOT_FOUND
    const std::string reason = SystemErrorText(2);
    EXPECT_EQ(reason.find_first_not_of("0123456789"), 0u) << "a text, not a number: " << reason;
    for (bool terminal : {false, true}) {
        std::FILE* errors = std::tmpfile();
        std::FILE* screen = std::tmpfile();
        ConsoleDisplay display(screen, terminal, session);
        Trace().Open();
        EXPECT_EQ(SearchPortOnConsole("/dev/ttyUSB0", display, errors), 0);
        Trace().Close();
        std::string shown = Contents(screen), said = Contents(errors);
        std::fclose(errors);
        std::fclose(screen);

        const std::string waiting = "waiting for /dev/ttyUSB0: " + reason + " (attempt ";
        EXPECT_NE(shown.find(waiting + "1 of 301)"), std::string::npos) << shown;
        if (terminal) {
            // One line rewritten in place up to the last attempt, closed before the failure text.
            EXPECT_NE(shown.find("\r  " + waiting + "301 of 301)\033[K\n"), std::string::npos) << shown;
            EXPECT_EQ(Lines(shown), 1u) << shown;
        } else {
            // A log gets plain lines, but not one for every attempt of thirty seconds.
            EXPECT_EQ(shown.find('\r'), std::string::npos) << shown;
            EXPECT_GE(Lines(shown), 2u) << shown;
            EXPECT_LE(Lines(shown), 31u) << shown;
        }
        EXPECT_EQ(said.rfind("veltrane-flash: gave up on /dev/ttyUSB0 after 301 attempts: " + reason + "\n", 0), 0u)
            << said;
        EXPECT_NE(said.find("download mode"), std::string::npos) << said;
        EXPECT_NE(said.find("another program"), std::string::npos) << said;
    }
}
