#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
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
#include "session/system_error_text.h"
#include "transport/port_search.h"
#include "session/trace_log.h"

namespace {

// What ends a rewritten line: Windows consoles get blanks instead, and a file no console at all.
#ifdef _WIN32
const std::string kClearToEnd = "";
#else
const std::string kClearToEnd = "\033[K";
#endif

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
    session.totalBytes = 25 * 798720;
    session.doneCount = 5;
    session.doneBytes = 5 * 798720;
    time.clock.Advance(2000);
    display.SetProgressPosition(20);
    for (int i = 0; i < 20; ++i) display.SetProgressPosition(20);  // within the same tenth of a second
    time.clock.Advance(100);
    session.doneCount = 10;
    session.doneBytes = 10 * 798720;
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
    session.totalBytes = 28 * 1024 - 100;  // the last packet short
    session.doneCount = 14;
    session.doneBytes = 14 * 1024 - 50;
    time.clock.Advance(500);
    display.SetProgressPosition(50);
    EXPECT_FALSE(display.Finished());
    display.RunEnded(1);
    EXPECT_TRUE(display.Finished());
    std::string shown = Shown();
    EXPECT_NE(shown.find("\r  programmer       50%"), std::string::npos) << shown;
    EXPECT_NE(shown.find(kClearToEnd), std::string::npos);
}

TEST_F(ConsoleDisplayTest, EndStateWithoutFinishIsNotASuccess) {
    ConsoleDisplay display(out, false, session);
    display.RunEnded(0);
    EXPECT_FALSE(display.Finished());
}

#ifndef _WIN32
namespace {
std::atomic<long long> waiterCpuNs{-1};

unsigned ShowALabel(void* display) {
    static_cast<ConsoleDisplay*>(display)->ShowStepLabel({3017, 248, 80, 30, 350}, "");
    return 0;
}

unsigned ReadTheStatusText(void* display) {
    timespec before{}, after{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &before);
    static_cast<ConsoleDisplay*>(display)->GetControlText(kControlStatusText);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &after);
    waiterCpuNs = (after.tv_sec - before.tv_sec) * 1000000000LL + (after.tv_nsec - before.tv_nsec);
    return 0;
}
}  // namespace

// The worker may wait for the display while the low-priority monitor holds it (writing to a
// slow terminal). The waiter must sleep: a spinning time-critical worker would keep the
// holder from ever running again on Windows.
TEST_F(ConsoleDisplayTest, AThreadWaitingForTheDisplaySleepsInsteadOfSpinning) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    char block[4096] = {};
    fcntl(ends[1], F_SETFL, O_NONBLOCK);  // a full pipe: the display's next write blocks, holding the display
    while (write(ends[1], block, sizeof block) > 0) {
    }
    fcntl(ends[1], F_SETFL, 0);
    std::FILE* slowTerminal = fdopen(ends[1], "w");
    ConsoleDisplay display(slowTerminal, false, session);
    ThreadHandle holder = StartThread(ShowALabel, &display, 0);
    SystemClock().SleepMs(100);
    ThreadHandle waiter = StartThread(ReadTheStatusText, &display, 0);
    SystemClock().SleepMs(400);
    EXPECT_EQ(waiterCpuNs.load(), -1) << "the waiter got the display while a write held it";
    fcntl(ends[0], F_SETFL, O_NONBLOCK);
    while (waiterCpuNs.load() < 0)  // drain until the display is free again
        if (read(ends[0], block, sizeof block) <= 0) SystemClock().SleepMs(1);
    JoinThread(holder);
    JoinThread(waiter);
    std::fclose(slowTerminal);
    close(ends[0]);
    EXPECT_LT(waiterCpuNs.load(), 100'000'000LL);  // 400 ms of waiting, next to no processor time
}
#endif

TEST(HumanFigures, BytesAndDurations) {
    EXPECT_EQ(HumanBytes(512), "512 B");
    EXPECT_EQ(HumanBytes(798720), "799 kB");
    EXPECT_EQ(HumanBytes(110672263), "110.7 MB");
    EXPECT_EQ(HumanDuration(65), "1:05");
    EXPECT_EQ(HumanDuration(3723), "1:02:03");
}

// The console's search: the port named on the command line, every attempt traced.
int SearchNamed(const char* path, const std::function<void(int attempt, int status)>& watcher = {}) {
    PortSearch search;
    search.portName = [path](int) { return std::string(path); };
    if (watcher) search.observe = [&watcher](int attempt, const std::string&, int status) { watcher(attempt, status); };
    return SearchDownloadPort(search);
}

TEST(NamedPortSearch, TriesThreeHundredAndOneTimesThenGivesUp) {
    TempDirectory directory;
    ScopedVirtualClock time;
    ScriptedPort port;
    port.SetOpenResult(2);
    Trace().Open();
    EXPECT_EQ(SearchNamed("/dev/ttyUSB0"), 0);
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
    EXPECT_EQ(SearchNamed("/dev/ttyUSB0"), 1);
    Trace().Close();
    EXPECT_EQ(ReadWholeFile("trace.txt"), "Open port /dev/ttyUSB0 status 0\n");
    EXPECT_EQ(time.clock.SleptMs(), 0u);
}

TEST(NamedPortSearch, TheThreeHundredAndFirstAttemptEndsTheSearchEvenWhenItOpens) {
    for (int opening : {300, 301}) {  // the attempt on which the port appears
        TempDirectory directory;
        ScopedVirtualClock time;
        ScriptedPort port;
        port.SetOpenResult(2);
        Trace().Open();
        int result = SearchNamed("/dev/ttyUSB0", [&](int attempt, int) {
            if (attempt == opening - 1) port.SetOpenResult(0);
        });
        Trace().Close();
        std::string trace = ReadWholeFile("trace.txt");
        EXPECT_EQ(result, opening == 300 ? 1 : 0);
        EXPECT_EQ(trace.substr(trace.rfind("status 2\n")),
                  std::string("status 2\nOpen port /dev/ttyUSB0 status 0\n") + (opening == 300 ? "" : "Can't Connected Port.\n"));
        EXPECT_EQ(port.IsOpen(), opening == 300);  // a search that gives up leaves the port closed
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
        ConsoleDisplay display(out, terminal, session);
        Trace().Open();
        EXPECT_EQ(SearchPortOnConsole("/dev/ttyUSB0", display, errors), 0);
        Trace().Close();
        std::string shown = Shown(), said = Contents(errors);
        std::fclose(errors);
        std::fclose(out);
        out = std::tmpfile();

        const std::string waiting = "waiting for /dev/ttyUSB0: " + reason + " (attempt ";
        EXPECT_NE(shown.find(waiting + "1 of 301)"), std::string::npos) << shown;
        if (terminal) {
            // One line rewritten in place up to the last attempt, closed before the failure text.
            EXPECT_NE(shown.find("\r  " + waiting + "301 of 301)" + kClearToEnd + "\n"), std::string::npos) << shown;
            EXPECT_EQ(Lines(shown), 1u) << shown;
        } else {
            // A log gets plain lines, but not one for every attempt of thirty seconds.
            EXPECT_EQ(shown.find('\r'), std::string::npos) << shown;
            EXPECT_GE(Lines(shown), 2u) << shown;
            EXPECT_LE(Lines(shown), 31u) << shown;
        }
        EXPECT_EQ(said.rfind("veltrane-flash: gave up on /dev/ttyUSB0 after 301 attempts: " + reason + "\n", 0), 0u);
        EXPECT_TRUE(said.find("download mode") != said.npos && said.find("another program") != said.npos) << said;
    }
}
