// Every failing step ends the whole process; each case runs the run in a child process and
// then reads what the child left behind: its trace, its boxes and its exit status.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>

#include "session/process_values.h"
#include "session/session_driver.h"
#include "session/worker_thread.h"
#include "tests/support/run_fixture.h"

namespace {

struct FailingStep {
    const char* call;
    const char* text;
};

void PrintTo(const FailingStep& step, std::ostream* out) { *out << step.call; }

class RunFailureTest : public RunFixture, public ::testing::WithParamInterface<FailingStep> {};

// Leaves the process `room` bytes of address space beyond what it holds now, as a crowded
// 32-bit process has.
void LeaveAddressSpace(size_t room) {
    size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = pages * static_cast<size_t>(sysconf(_SC_PAGESIZE)) + room;
    ASSERT_EQ(setrlimit(RLIMIT_AS, &limit), 0);
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST_P(RunFailureTest, TheStepsTextEndsTheTraceAndTheErrorBoxShowsIt) {
    const FailingStep& failing = GetParam();
    steps.SetResult(failing.call, 0);
    EXPECT_EXIT(
        {
            UseSettings("1111111");
            RunSession();
        },
        ::testing::ExitedWithCode(1), "");
    std::string trace = ReadWholeFile("trace.txt");
    // The marker line of the failing step is the last step, followed by exactly the failure text.
    ASSERT_NE(trace.rfind('{'), std::string::npos);
    std::string tail = trace.substr(trace.rfind('{'));
    EXPECT_EQ(tail.rfind(std::string("{") + failing.call + " index ", 0), 0u) << trace;
    EXPECT_EQ(tail.substr(tail.find('\n') + 1), failing.text);
    EXPECT_EQ(BoxesFromFile(), (std::vector<std::string>{"Error|" + Escaped(failing.text)}));
}

INSTANTIATE_TEST_SUITE_P(
    EveryStepText, RunFailureTest,
    ::testing::Values(FailingStep{"sendProgrammer", "Send Hex Failure\n"},
                      FailingStep{"sendHello", "Can't Initial HELLO Tag"},
                      FailingStep{"sendSecurityMode", "Can't Enable Secret Mode"},
                      FailingStep{"sendPartitionTable", "Can't Send Partition"},
                      FailingStep{"openImage QcsblHeader", "Can't Open QCSBL header"},
                      FailingStep{"writeImage QcsblHeader", "Can't Send QCSBL header"},
                      FailingStep{"closeImage QcsblHeader", "Can't Close QCSBL header"},
                      FailingStep{"openImage Qcsbl", "Can't Open QCSBL"},
                      FailingStep{"writeImage Qcsbl", "Can't Send QCSBL"},
                      FailingStep{"closeImage Qcsbl", "Can't Close QCSBL"},
                      FailingStep{"openImage Oemsbl", "Can't Open OEMSBL"},
                      FailingStep{"writeImage Oemsbl", "Can't Send OEMSBL"},
                      FailingStep{"closeImage Oemsbl", "Can't Close OEMSBL"},
                      FailingStep{"openImage Amss", "Can't OPEN AMSS"},
                      FailingStep{"writeImage Amss", "Can't Send AMSS"},
                      FailingStep{"closeImage Amss", "Can't Close AMSS"},
                      FailingStep{"openImage Appsboot", "Can't Open appsboots"},
                      FailingStep{"writeImage Appsboot", "Can't Send appsboots"},
                      FailingStep{"closeImage Appsboot", "Can't Close appsboots"},
                      FailingStep{"openImage FlashBin", "Can't Open Flash.bin"},
                      FailingStep{"writeImage FlashBin", "Can't Send Flash.bin"},
                      FailingStep{"closeImage FlashBin", "Can't Open Flash.bin"},
                      FailingStep{"openImage Cefs", "Can't Open Cefs"},
                      FailingStep{"writeImage Cefs", "Can't Send CEFS"},
                      FailingStep{"closeImage Cefs", "Can't Open CEFS"},
                      FailingStep{"sendReset", "Reset Fail"}),
    [](const ::testing::TestParamInfo<FailingStep>& param) {
        std::string name;
        for (const char* c = param.param.call; *c; ++c)
            if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
        return name;
    });

class RunEndTest : public RunFixture {};

TEST_F(RunEndTest, IncompleteImageSetShowsWarningThenErrorWithTheList) {
    steps.SetResult("checkImageSet", 0);
    EXPECT_EXIT(RunSession(), ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(BoxesFromFile(), (std::vector<std::string>{"Warning|NO AMSS_header NO AMSS ",
                                                         "Error|NO AMSS_header NO AMSS "}));
    EXPECT_EQ(ReadWholeFile("trace.txt"),
              "Initial Mode : Download\n{checkProgramFile index 0}\n{checkImageSet index 0}\nNO AMSS_header NO AMSS ");
}

TEST_F(RunEndTest, PortThatCannotBeOpenedEndsWithoutABox) {
    steps.SetResult("openDownloadPort", 0);
    EXPECT_EXIT(RunSession(), ::testing::ExitedWithCode(1), "");
    EXPECT_TRUE(BoxesFromFile().empty());
    EXPECT_TRUE(EndsWith(ReadWholeFile("trace.txt"), "{openDownloadPort index 0}\n"));
}

TEST_F(RunEndTest, PortLostAfterGoEndsWithoutABox) {
    int opens = 0;
    steps.OnCall("openDownloadPort", [&] {
        if (++opens == 2) steps.SetResult("openDownloadPort", 0);
    });
    EXPECT_EXIT(RunSession(), ::testing::ExitedWithCode(1), "");
    EXPECT_TRUE(BoxesFromFile().empty());
    std::string trace = ReadWholeFile("trace.txt");
    EXPECT_TRUE(EndsWith(trace, "Sleep 5 sec\n{openDownloadPort index 0}\n")) << trace;
}

TEST_F(RunEndTest, TraceThatCannotBeCreatedStopsBeforeAnyStep) {
    ASSERT_EQ(mkdir("trace.txt", 0755), 0);  // a folder where the file should go
    EXPECT_EXIT(RunSession(), ::testing::ExitedWithCode(1), "");
    auto shown = BoxesFromFile();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind("Error|Can't create trace.txt in " + directory.Path().string(), 0), 0u) << shown[0];
    EXPECT_TRUE(steps.Calls().empty());
}

TEST_F(RunEndTest, EndingWhileAMonitorRunsExitsCleanlyWithStatusOne) {
    // The monitor of stage A still spins when the programmer fails: exit must not crash it.
    steps.OnCall("sendProgrammer", [&] { session.totalCount = 28; });
    steps.SetResult("sendProgrammer", 0);
    EXPECT_EXIT(RunSession(), ::testing::ExitedWithCode(1), "");
    EXPECT_TRUE(EndsWith(ReadWholeFile("trace.txt"), "Send Hex Failure\n"));
}

TEST_F(RunEndTest, AWorkerThatCannotStartEndsWithAnErrorBoxAndNoTrace) {
    // The host programs are already ended when the worker starts: a silent failure here
    // would leave the wizard waiting for a run that never comes.
    EXPECT_EXIT(
        {
            LeaveAddressSpace(64 << 20);  // no room for the worker's 150 MiB stack
            StartSession();
            WaitForWorkerThread();
        },
        ::testing::ExitedWithCode(1), "");
    auto shown = BoxesFromFile();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind("Error|", 0), 0u) << shown[0];
    EXPECT_NE(shown[0].find("150 MiB"), std::string::npos) << shown[0];
    EXPECT_FALSE(std::filesystem::exists("trace.txt"));
}
