// Programmer conversion, the write packets and GO, against a scripted port.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "protocol/intel_hex.h"
#include "protocol/programmer_loader.h"
#include "protocol/programmer_resource.h"
#include "session/process_values.h"
#include "session/session_state.h"
#include "session/trace_log.h"
#include "tests/protocol/literal_framing.h"
#include "tests/support/temp_directory.h"
#include "tests/support/virtual_clock.h"
#include "tests/transport/scripted_port.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ProgrammerImage() {
    std::span<const uint8_t> text = ProgrammerHexText();
    Bytes image(text.begin(), text.end());
    image.resize(ConvertIntelHex(image.data(), static_cast<uint32_t>(image.size())));
    return image;
}

uint32_t Convert(std::string& text) {
    return ConvertIntelHex(reinterpret_cast<uint8_t*>(text.data()), static_cast<uint32_t>(text.size()));
}

class ProgrammerTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteTrace(0);
        currentSession = &session;
    }
    void TearDown() override {
        currentSession = nullptr;
        WriteTrace(2);
    }
    std::string TraceText() {
        WriteTrace(2);
        std::string text = ReadWholeFile("trace.txt");
        Trace().Open();
        return text;
    }
    void AcknowledgeAll(int count) {
        for (int i = 0; i < count; ++i) port.QueueReply({0x02});
    }

    TempDirectory directory;
    ScopedVirtualClock time;
    ScriptedPort port;
    SessionState session;
};

}  // namespace

TEST(HexDigitValue, DigitsAndLettersOfBothCasesOthersZero) {
    EXPECT_EQ(HexDigitValue('0'), 0);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('A'), 10);
    EXPECT_EQ(HexDigitValue('f'), 15);
    EXPECT_EQ(HexDigitValue('F'), 15);
    EXPECT_EQ(HexDigitValue('G'), 0);
    EXPECT_EQ(HexDigitValue(':'), 0);
    EXPECT_EQ(HexDigitValue('\0'), 0);
}

TEST(ConvertIntelHex, ConcatenatesDataRecordsAndClearsTheRest) {
    std::string text =
        ":0200000400A05A\r\n"
        ":03000000a1B2c3FF\r\n"   // a short record, lower-case digits, checksum not looked at
        ":0400000500A0000057\r\n"
        ":02FFF0007E7D00\r\n"     // the address is not looked at either
        ":00000001FF\r\n";
    const size_t length = text.size();
    EXPECT_EQ(Convert(text), 5u);
    EXPECT_EQ(text.substr(0, 5), std::string("\xA1\xB2\xC3\x7E\x7D", 5));
    EXPECT_EQ(text.substr(5), std::string(length - 5, '\0'));
}

TEST(ConvertIntelHex, ARecordCutOffByTheEndContributesNothing) {
    std::string text = ":0100000011EE\n:04000000AABB";
    EXPECT_EQ(Convert(text), 1u);
    EXPECT_EQ(static_cast<uint8_t>(text[0]), 0x11);
}

TEST(ConvertIntelHex, TheProgrammerCarriedConvertsTo110648Bytes) {
    EXPECT_EQ(ProgrammerImage().size(), 110648u);
}

TEST_F(ProgrammerTest, TwentyEightPacketsFromTheLoadAddress) {
    const Bytes image = ProgrammerImage();
    AcknowledgeAll(28);
    EXPECT_EQ(SendProgrammer(), 1);
    auto frames = port.Frames();
    ASSERT_EQ(frames.size(), 28u);
    for (uint32_t j = 0; j < 28; ++j) {
        uint32_t address = 0x00A00000 + j * 4096;
        uint32_t length = j < 27 ? 4096 : 56;
        Bytes content(7 + length);
        const uint8_t header[7] = {0x0F, static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
                                   static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                                   static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
        std::memcpy(content.data(), header, 7);
        std::memcpy(content.data() + 7, image.data() + j * 4096, length);
        ASSERT_EQ(frames[j], LiteralFrame(content)) << "packet " << j;
    }
    EXPECT_EQ(frames[27][0], 0x7E);
    EXPECT_EQ(session.totalCount.load(), 28u);
    EXPECT_EQ(session.doneCount.load(), 28u);
    EXPECT_EQ(session.transferDone.load(), 1u);
}

TEST_F(ProgrammerTest, TraceHasTheBannersOneRateLinePerPacketAndOkHexTwice) {
    AcknowledgeAll(28);
    ASSERT_EQ(SendProgrammer(), 1);
    std::string expected = "==============Start Send HEX=====================\n"
                           "==============Start Send HEX=====================\n"
                           "============= Memory allocation=============\n"
                           "==============Prepare Sending =============\n";
    // No time passes on the virtual clock: the elapsed time counts as one second.
    for (int j = 0; j < 28; ++j)
        expected += "total packet28 ,  sended " + std::to_string(j) + " th , packet size  4096 rate " +
                    std::to_string((j + 1) * 4096) + "\n";
    expected += "OK HEX\nOK HEX\n";
    EXPECT_EQ(TraceText(), expected);
}

TEST_F(ProgrammerTest, RateIsBytesPerSecondSinceTheStart) {
    for (int f = 0; f < 20; ++f) port.QueueReply({0x03});  // 20 refusals: two seconds of pauses
    AcknowledgeAll(28);
    EXPECT_EQ(SendProgrammer(), 1);
    std::string trace = TraceText();
    EXPECT_NE(trace.find("sended 0 th , packet size  4096 rate 2048\n"), std::string::npos);
    EXPECT_NE(trace.find("sended 1 th , packet size  4096 rate 4096\n"), std::string::npos);
}

TEST_F(ProgrammerTest, OneBudgetOfThirtyFailuresForAllPackets) {
    for (int j = 0; j < 28; ++j) {
        if (j == 3 || j == 10 || j == 27) {
            for (int f = 0; f < 10; ++f) port.QueueReply({0x03});
        }
        port.QueueReply({0x02});
    }
    EXPECT_EQ(SendProgrammer(), 1);
    EXPECT_EQ(port.Frames().size(), 58u);
    // A refused packet goes out again unchanged.
    EXPECT_EQ(port.Frames()[3], port.Frames()[4]);
}

TEST_F(ProgrammerTest, ThirtyOneFailuresSpreadOverPacketsEndTheStage) {
    for (int j = 0; j < 28; ++j) {
        int failures = j < 6 ? 5 : (j == 6 ? 1 : 0);  // 31 in all, no packet more than five
        for (int f = 0; f < failures; ++f) port.QueueEmptyRead();
        port.QueueReply({0x02});
    }
    EXPECT_EQ(SendProgrammer(), 0);
    EXPECT_EQ(session.doneCount.load(), 6u);
    EXPECT_TRUE(TraceText().ends_with("Can't Send or Received\n"));
}

TEST_F(ProgrammerTest, GoFrameAndAnyReplySucceeds) {
    port.QueueReply({0x7F, 0x01});
    EXPECT_EQ(SendGo(), 1);
    ASSERT_EQ(port.Frames().size(), 1u);
    EXPECT_EQ(port.Frames()[0], LiteralFrame({0x05, 0x00, 0xA0, 0x00, 0x00}));
    EXPECT_EQ(TraceText(), "==============start Go =============\n"
                           "==============start Go =============\n"
                           "==============memory allocation =============\n"
                           "==============Send Command =============\n"
                           "OK GO\nOK GO\n");
}

TEST_F(ProgrammerTest, GoWithoutReplyStillSucceedsAfterOneRead) {
    EXPECT_EQ(SendGo(), 1);
    EXPECT_EQ(port.Events(), (std::vector<std::string>{"write", "read"}));
}

TEST_F(ProgrammerTest, GoWriteFailureReturnsZeroAtOnce) {
    port.QueueWriteFailure(31);
    EXPECT_EQ(SendGo(), 0);
    EXPECT_EQ(port.Events(), std::vector<std::string>{"write"});
    EXPECT_TRUE(TraceText().ends_with("==============Send Command =============\nCan't Send 31\n"));
}
