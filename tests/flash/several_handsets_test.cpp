#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "tests/support/temp_directory.h"
#include "tests/support/virtual_clock.h"
#include "tools/flash/child_processes.h"
#include "tools/flash/handset_table.h"
#include "tools/flash/progress_event.h"
#include "tools/flash/run_folders.h"
#include "tools/flash/several_handsets.h"
#include "tools/flash/shown_names.h"

namespace {
std::string ReadAndClose(std::FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    std::fclose(file);
    return text;
}
}  // namespace

TEST(SeveralHandsets, RunFolderNamesAndPortsNamedTwice) {
    EXPECT_EQ(RunFolderNames({"/dev/ttyUSB0", "/dev/serial/ttyUSB0", "\\\\.\\wceusbsh001", "COM3:", "/dev/", "TTYUSB0",
                              "ttyUSB0-2", ".."}),
              (std::vector<std::string>{"ttyUSB0", "ttyUSB0-2", "wceusbsh001", "COM3_", "dev", "TTYUSB0-3", "ttyUSB0-2-2",
                                        "handset"}));
    EXPECT_EQ(PortNamedTwice({"/dev/ttyUSB0", "/dev/ttyUSB1"}), "");
#ifdef _WIN32
    EXPECT_EQ(PortNamedTwice({"\\\\.\\wceusbsh001", "\\\\.\\WCEUSBSH001"}), "\\\\.\\WCEUSBSH001");
#else
    EXPECT_EQ(PortNamedTwice({"/dev/ttyUSB0", "/dev/../dev/ttyUSB0"}), "/dev/../dev/ttyUSB0");
    TempDirectory folder;  // a link to a port is the same port
    WriteWholeFile("tty", "");
    std::filesystem::create_symlink("tty", "handset");
    EXPECT_EQ(PortNamedTwice({"tty", "handset"}), "handset");
#endif
    // A run folder that cannot be made refuses the command before anything starts.
    TempDirectory runs;
    WriteWholeFile("a-file", "");
    SeveralHandsetsRun run;
    run.ports = {"port1", "port2"};
    run.runs = "a-file";
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(FlashSeveralHandsets(run, nullptr, err), 2);
    EXPECT_NE(ReadAndClose(err).find("can't prepare a-file"), std::string::npos);
}

TEST(SeveralHandsets, EventsRoundTripAndStrayLinesAreNotEvents) {
    ProgressEvent sent;
    sent.handset = "\\\\.\\wceusbsh001";
    sent.stage = kStageImages;
    sent.image = "FLASH.bin";
    sent.done = 110672263;
    sent.total = 5000000000ull;
    sent.bytesPerSecond = 1234567;
    sent.elapsed = 61.25;
    sent.outcome = kOutcomeFailed;
    sent.lastLine = "Can't Send \"FLASH\"\tn\xE9\x01";
    const std::string line = FormatProgressEvent(sent);
    EXPECT_EQ(line.find_first_of("\n\x80\xE9\x01"), std::string::npos) << line;  // plain ASCII, one line
    ProgressEvent read;
    ASSERT_TRUE(ParseProgressEvent(line, read)) << line;
    EXPECT_EQ(FormatProgressEvent(read), line);
    EXPECT_EQ(read.lastLine, sent.lastLine);
    EXPECT_EQ(read.total, sent.total);
    // A port's name is text: UTF-8 comes out as the characters it holds, not as its bytes.
    sent.handset = "/dev/serial/by-id/hand\xC3\xA9";
    EXPECT_NE(FormatProgressEvent(sent).find("\"handset\":\"/dev/serial/by-id/hand\\u00e9\""), std::string::npos)
        << FormatProgressEvent(sent);
    ASSERT_TRUE(ParseProgressEvent(FormatProgressEvent(sent), read));
    EXPECT_EQ(read.handset, sent.handset);
    for (const char* stray : {"", "Finished: the handset acknowledged the reset.", "{\"stage\":\"images\"}",
                              "{\"handset\":\"a\"} trailing", "{\"handset\":1}", "{\"handset\":\"a\",\"done\":-1}",
                              "{\"handset\":\"a\",\"last_line\":\"\\u0100\"}", "{\"handset\":\"a\""})
        EXPECT_FALSE(ParseProgressEvent(stray, read)) << stray;
    EXPECT_EQ(LastLineOf("Open port\nCan't Send CEFS"), "Can't Send CEFS");
    EXPECT_EQ(LastLineOf("Finish\r\n\r\n"), "Finish");
}

TEST(SeveralHandsets, PlainLinesOnStageChangesAndTheFirstOutcomeStands) {
    std::FILE* out = std::tmpfile();
    HandsetTable table({"ttyUSB0", "ttyUSB1"}, out, false);
    ProgressEvent event;
    event.stage = kStageImages;
    event.image = "AMSS";
    table.Apply(0, event);
    event.done = 4096;  // figures alone: no line
    table.Apply(0, event);
    event.outcome = kOutcomeOk;
    table.Apply(0, event);
    ProgressEvent failed = event;
    failed.outcome = kOutcomeFailed;
    failed.lastLine = "Can't Close AMSS";
    table.Apply(0, failed);  // too late: ttyUSB0 ended
    table.Apply(1, failed);
    failed.outcome = kOutcomeInterrupted;
    table.Apply(1, failed);
    EXPECT_FALSE(table.AllSucceeded());
    EXPECT_TRUE(table.Interrupted().empty());
    table.PrintSummary();
    const std::string shown = ReadAndClose(out);
    EXPECT_EQ(shown,
              "ttyUSB0: images AMSS\n"
              "ttyUSB0: OK\n"
              "ttyUSB1: failed: Can't Close AMSS\n"
              "Summary:\n"
              "  ttyUSB0        OK\n"
              "  ttyUSB1        failed: Can't Close AMSS\n");
}

// The live table names handsets by what tells them apart, and a name cut to fit keeps its end.
TEST(SeveralHandsets, ShownNamesKeepWhatTellsTheHandsetsApart) {
    const std::string guid = "#{25dbce51-6c8f-4a72-8a6d-b54c2b4fc835}";
    EXPECT_EQ(ShownNames({"usb#vid_05c6&pid_3197#5&abc&0&2" + guid, "USB#VID_05C6&PID_3197#5&ABC&0&3" + guid}),
              (std::vector<std::string>{"5&abc&0&2", "5&ABC&0&3"}));
    EXPECT_EQ(ShownNames({"usb#vid_05c6&pid_3197#5&abc&0&2" + guid}), (std::vector<std::string>{"5&abc&0&2"}));
    const std::string maker = "usb-Qualcomm_Incorporated_Qualcomm_CDMA_Technologies_MSM_";
    EXPECT_EQ(ShownNames({maker + "A100-if00-port0", maker + "B7-if00-port0"}),
              (std::vector<std::string>{"A100", "B7"}));
    EXPECT_EQ(ShownNames({"ttyUSB0", "ttyUSB1", "wceusbsh001"}),
              (std::vector<std::string>{"ttyUSB0", "ttyUSB1", "wceusbsh001"}));
    EXPECT_EQ(FitName("ttyUSB0", 14), "ttyUSB0");
    EXPECT_EQ(FitName(maker + "A100", 10), "..MSM_A100");
}

TEST(SeveralHandsets, TerminalRowsRedrawnInPlaceAtMostTenTimesASecond) {
    std::FILE* out = std::tmpfile();
    HandsetTable table({"ttyUSB0", "ttyUSB1"}, out, true);
    ProgressEvent event;
    event.stage = kStageImages;
    event.image = "FLASH.bin";
    event.done = 25;
    event.total = 100;
    event.bytesPerSecond = 2500000;
    event.elapsed = 65;
    table.Apply(1, event);  // no plain line on a terminal
    table.Draw(1000, false);
    table.Draw(1050, false);  // too soon
    table.Draw(1100, false);
    const std::string shown = ReadAndClose(out);
    const std::string second = "  ttyUSB1        images           FLASH.bin  25%    2.50 MB/s  1:05";
    EXPECT_NE(shown.find(second), std::string::npos) << shown;
    EXPECT_NE(shown.find("  ttyUSB0        starting "), std::string::npos) << shown;
    size_t rowsDrawn = 0;
    for (size_t at = 0; (at = shown.find(second, at)) != std::string::npos; ++at) ++rowsDrawn;
    EXPECT_EQ(rowsDrawn, 2u) << shown;  // two draws, the one at 1050 ms skipped
#ifndef _WIN32
    EXPECT_EQ(shown.find("\033[2A"), shown.rfind("\033[2A")) << shown;  // back over both rows once
    EXPECT_NE(shown.find("\033[2A"), std::string::npos) << shown;
#endif
}

#ifndef _WIN32
// A child that shrugs off SIGTERM is still ended; its last words, even without a newline, and
// its way of ending reach the parent.
TEST(SeveralHandsets, ChildrenEndedTogetherWithTheirLastLinesAndStatus) {
    TempDirectory folder;
    ChildProcesses children;
    std::string error;
    ASSERT_TRUE(children.Start("/bin/sh", {"-c", "echo one; printf two; exit 3"}, ".", "errors.txt", error)) << error;
    ASSERT_TRUE(children.Start("/bin/sh", {"-c", "trap '' TERM; echo ready; exec sleep 30"}, ".", "errors2.txt",
                               error));
    ASSERT_TRUE(children.Start("/bin/sh", {}, "/nonexistent/folder", "errors3.txt", error));
    std::vector<std::string> lines[3];
    int status[3] = {-1, -1, -1};
    auto onLine = [&](size_t child, const std::string& line) { lines[child].push_back(line); };
    auto onExit = [&](size_t child, int code) { status[child] = code; };
    for (int i = 0; i < 100 && (status[0] < 0 || status[2] < 0 || lines[1].empty()); ++i)
        children.Wait(50, onLine, onExit);
    EXPECT_EQ(lines[0], (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(status[0], 3);
    EXPECT_EQ(status[2], 127);  // never started: it says why where its errors go
    EXPECT_NE(ReadWholeFile("errors3.txt").find("can't start"), std::string::npos);
    EXPECT_EQ(status[1], -1);
    children.EndAll();  // the grace runs out: SIGKILL
    for (int i = 0; i < 100 && status[1] < 0; ++i) children.Wait(10, onLine, onExit);
    EXPECT_EQ(status[1], 128 + 9);
    EXPECT_EQ(children.Running(), 0u);
}

// A second Ctrl-C cuts the grace short: a child that shrugs off SIGTERM is killed at once, not
// after the grace (the test clock counts the wait). In a process of its own: the interrupt
// count is process-wide.
TEST(SeveralHandsets, SecondInterruptCutsTheGraceShort) {
    TempDirectory folder;
    std::fflush(nullptr);
    const pid_t tester = fork();
    if (tester == 0) {
        ScopedVirtualClock time;
        ChildProcesses children;
        std::string error;
        if (!children.Start("/bin/sh", {"-c", "trap '' TERM; echo ready; exec sleep 30"}, ".", "errors.txt", error))
            _exit(10);
        bool ready = false;
        for (int i = 0; i < 100 && !ready; ++i) children.Wait(50, [&](size_t, const std::string&) { ready = true; }, [](size_t, int) {});
        CatchInterrupts();
        raise(SIGINT);
        raise(SIGINT);
        children.EndAll();
        _exit(!ready ? 11 : InterruptCount() != 2 ? 12 : time.clock.SleptMs() != 0 ? 13 : 0);
    }
    int status = 0;
    waitpid(tester, &status, 0);
    EXPECT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif
