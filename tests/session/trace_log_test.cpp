#include <gtest/gtest.h>

#include "session/trace_log.h"
#include "tests/support/temp_directory.h"

TEST(TraceLog, OpeningReplacesThePreviousRunsFile) {
    TempDirectory directory;
    WriteWholeFile("trace.txt", "the previous run's lines\n");
    WriteTrace(0);
    WriteTrace(1, "Initial Mode : Download\n");
    WriteTrace(2);
    EXPECT_EQ(ReadWholeFile("trace.txt"), "Initial Mode : Download\n");
}

TEST(TraceLog, WritesExactlyTheTextsGivenAndNothingElse) {
    TempDirectory directory;
    WriteTrace(0);
    WriteTrace(1, "OK InitTag");
    WriteTrace(1, "OK InitTag");
    WriteTrace(1, "");             // an empty append writes nothing
    WriteTrace(7, "ignored mode"); // unknown modes do nothing
    WriteTrace(1, "Finish");
    WriteTrace(2);
    WriteTrace(1, "after close");  // a closed file takes nothing
    WriteTrace(2);                 // closing twice is harmless
    EXPECT_EQ(ReadWholeFile("trace.txt"), "OK InitTagOK InitTagFinish");
}

TEST(TraceLog, EachAppendReachesTheFileAtOnce) {
    TempDirectory directory;
    WriteTrace(0);
    TraceFormat("total time: %d sec\n", 42);
    // Read while the file is still open: nothing may sit in a buffer of the process.
    EXPECT_EQ(ReadWholeFile("trace.txt"), "total time: 42 sec\n");
    WriteTrace(2);
}

TEST(TraceLog, ReceivedBytesAreCopiedRawFollowedByCarriageReturn) {
    TempDirectory directory;
    WriteTrace(0);
    const uint8_t received[] = {0x7E, 0x00, 0x0A, 0x0D, 0xFF};
    TraceLineWithBytes("Can't Recv  5 recv num: 5 Data:\n", received, sizeof received);
    TraceLineWithBytes("Can't Recv  -1 recv num: 0 Data:\n", nullptr, 0);
    WriteTrace(2);
    std::string expected = "Can't Recv  5 recv num: 5 Data:\n";
    expected.append(reinterpret_cast<const char*>(received), sizeof received);
    expected += "\rCan't Recv  -1 recv num: 0 Data:\n\r";
    EXPECT_EQ(ReadWholeFile("trace.txt"), expected);
}

TEST(TraceLog, LongFormattedTextsAreNotCut) {
    TempDirectory directory;
    WriteTrace(0);
    std::string longText(3000, 'x');
    TraceFormat("%s|%d", longText.c_str(), 7);
    WriteTrace(2);
    EXPECT_EQ(ReadWholeFile("trace.txt"), longText + "|7");
}

TEST(TraceLog, CreatabilityCheckKeepsThePreviousTrace) {
    TempDirectory directory;
    WriteWholeFile("trace.txt", "the previous run's lines\n");
    EXPECT_TRUE(TraceFileCanBeCreated());
    EXPECT_EQ(ReadWholeFile("trace.txt"), "the previous run's lines\n");
    std::filesystem::remove("trace.txt");
    std::filesystem::create_directory("trace.txt");  // a folder where the file should go
    EXPECT_FALSE(TraceFileCanBeCreated());
    EXPECT_FALSE(Trace().Open());
}
