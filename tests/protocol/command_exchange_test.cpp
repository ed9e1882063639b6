// The send / receive / check / retry procedure against a scripted port: the bytes that go
// out, the trace lines, the failure budget and the pauses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/command_exchange.h"
#include "session/trace_log.h"
#include "tests/protocol/literal_framing.h"
#include "tests/support/temp_directory.h"
#include "tests/support/virtual_clock.h"
#include "tests/transport/scripted_port.h"
#include "transport/port_io.h"

namespace {

using Bytes = std::vector<uint8_t>;

class ExchangeTest : public ::testing::Test {
protected:
    void SetUp() override { WriteTrace(0); }
    void TearDown() override { WriteTrace(2); }
    std::string TraceText() {
        WriteTrace(2);
        std::string text = ReadWholeFile("trace.txt");
        Trace().Open();
        return text;
    }

    TempDirectory directory;
    ScopedVirtualClock time;
    ScriptedPort port;
};

const Bytes kHello = {0x17, 0x01};
const Bytes kExpected = {0x18};

int Exchange(PacketBuffer& buffer, const ExchangeOptions& options = {}) {
    return ExchangeCommand(buffer, kHello, kExpected, "OK Secret\n", options);
}

}  // namespace

TEST_F(ExchangeTest, MatchingReplyTracesTheSuccessLineTwice) {
    port.QueueReply({0x18, 0x44});
    PacketBuffer buffer(0);
    EXPECT_EQ(Exchange(buffer), 1);
    ASSERT_EQ(port.Frames().size(), 1u);
    EXPECT_EQ(port.Frames()[0], LiteralFrame(kHello));
    EXPECT_EQ(TraceText(), "OK Secret\nOK Secret\n");
    EXPECT_EQ(time.clock.SleptMs(), 0u);
}

TEST_F(ExchangeTest, WrongCrcWithTheExpectedLeadingBytesSucceeds) {
    port.QueueReplyWithWrongCrc({0x18});
    PacketBuffer buffer(0);
    EXPECT_EQ(Exchange(buffer), 1);
}

TEST_F(ExchangeTest, ThirtyFailuresOfAnyMixThenSuccessSucceeds) {
    for (int i = 0; i < 30; ++i) {
        switch (i % 4) {
        case 0: port.QueueReadFailure(-1); break;
        case 1: port.QueueEmptyRead(); break;
        case 2: port.QueueReply({0x19}); break;
        default: port.QueueWriteFailure(31); port.QueueReply({0x02}); break;
        }
    }
    port.QueueReply({0x18});
    PacketBuffer buffer(0);
    EXPECT_EQ(Exchange(buffer), 1);
    EXPECT_EQ(port.Frames().size(), 31u);
    for (const Bytes& frame : port.Frames()) {
        if (!frame.empty()) {
            EXPECT_EQ(frame, LiteralFrame(kHello)) << "the same frame on every attempt";
        }
    }
    EXPECT_EQ(time.clock.SleptMs(), 30u * 100u);
    EXPECT_TRUE(TraceText().ends_with("OK Secret\nOK Secret\n"));
}

TEST_F(ExchangeTest, TheThirtyFirstFailureEndsTheExchange) {
    for (int i = 0; i < 31; ++i) port.QueueReply({0x19});
    port.QueueReply({0x18});  // never read
    PacketBuffer buffer(0);
    EXPECT_EQ(Exchange(buffer), 0);
    EXPECT_EQ(port.RepliesLeft(), 1u);
    EXPECT_EQ(time.clock.SleptMs(), 30u * 100u);
    EXPECT_TRUE(TraceText().ends_with("\rCan't Send or Received\n"));
}

TEST_F(ExchangeTest, ExactTraceOfFailedAttempts) {
    port.QueueWriteFailure(5);
    port.QueueReadFailure(-1);                 // write and read fail
    port.QueueEmptyRead();                     // nothing received
    port.QueueReply({0x1A, 0x7E});             // mismatch: unframed bytes follow the line
    port.QueueReply({0x18});
    PacketBuffer buffer(0);
    EXPECT_EQ(Exchange(buffer), 1);
    const std::string frameLength = std::to_string(LiteralFrame(kHello).size());
    const size_t replyLength = ScriptedPort::Frame({0x1A, 0x7E}).size();
    uint16_t crc = LiteralCrc16({0x1A, 0x7E});
    std::string mismatch = "Error code not match: Send 0 ,Rev. 0 Send byte " + frameLength + " receive " +
                           std::to_string(replyLength) + ":\n";
    std::string unframed = std::string("\x1A\x7E", 2) + static_cast<char>(crc & 0xFF) + static_cast<char>(crc >> 8);
    unframed.resize(replyLength, '\0');
    std::string expected = "Can't Send  5\n"
                           "Can't Recv  -1 recv num: 0 Data:\n\r"
                           "Error code: Send 5 ,Rev. -1 Send byte 0 receive 0:\n"
                           "Error code: Send 0 ,Rev. 0 Send byte " + frameLength + " receive 0:\n" +
                           mismatch + mismatch + unframed + "\r" + "OK Secret\nOK Secret\n";
    EXPECT_EQ(TraceText(), expected);
}

TEST_F(ExchangeTest, ReplyBeginningWithTwoFlagsDoesNotMatch) {
    Bytes doubled = ScriptedPort::Frame({0x18});
    doubled.insert(doubled.begin(), 0x7E);
    port.QueueRaw(doubled);
    port.QueueReply({0x18});
    PacketBuffer buffer(0);
    EXPECT_EQ(Exchange(buffer), 1);
    EXPECT_EQ(port.Frames().size(), 2u);
}

TEST_F(ExchangeTest, BytesOfAnEarlierLongerReplyAreNotSeenByTheComparison) {
    // The expected prefix is longer than the second reply: the comparison reads past it,
    // where the buffer must be as clear as before the first read.
    const Bytes expected = {0x1C, 0x00, 0x00, 0x00};
    port.QueueReply({0x1C, 0x00, 0x00, 0x05, 0x66, 0x77});
    port.QueueRaw({0x7E, 0x1C, 0x7E});
    PacketBuffer buffer(0);
    EXPECT_EQ(ExchangeCommand(buffer, kHello, expected, "OK\n"), 1);
    EXPECT_EQ(port.Frames().size(), 2u);
}

TEST_F(ExchangeTest, SharedFailureCountCarriesAcrossExchanges) {
    int failures = 0;
    ExchangeOptions options;
    options.failureCount = &failures;
    for (int i = 0; i < 20; ++i) port.QueueEmptyRead();
    port.QueueReply({0x18});
    PacketBuffer first(0);
    EXPECT_EQ(Exchange(first, options), 1);
    EXPECT_EQ(failures, 20);
    for (int i = 0; i < 11; ++i) port.QueueEmptyRead();
    PacketBuffer second(0);
    EXPECT_EQ(Exchange(second, options), 0);
    EXPECT_EQ(failures, 31);
}

TEST_F(ExchangeTest, PausesFollowTheOptions) {
    ExchangeOptions options;
    options.pauseAfterTransportFailureMs = 1000;
    options.pauseAfterMismatchMs = 0;
    port.QueueEmptyRead();
    port.QueueReply({0x00});
    port.QueueReply({0x18});
    PacketBuffer buffer(0);
    EXPECT_EQ(Exchange(buffer, options), 1);
    EXPECT_EQ(time.clock.SleptMs(), 1000u);
    EXPECT_EQ(time.clock.Sleeps(), 1u);
}

TEST_F(ExchangeTest, PauseBeforeTheLimitTestComesEvenWhenTheLimitEndsIt) {
    // The QCSBL open: after a transport failure 100 ms before the limit test and 100 ms after.
    ExchangeOptions options;
    options.pauseBeforeLimitTestMs = 100;
    options.pauseAfterMismatchMs = 0;
    options.failureLimit = 1;
    port.QueueReply({0x00});
    port.QueueEmptyRead();
    PacketBuffer buffer(0);
    EXPECT_EQ(Exchange(buffer, options), 0);
    EXPECT_EQ(time.clock.SleptMs(), 100u);  // the mismatch pauses not at all, the second failure ends it
}

TEST_F(ExchangeTest, WithoutTraceNothingIsWritten) {
    ExchangeOptions options;
    options.trace = false;
    for (int i = 0; i < 31; ++i) port.QueueReadFailure(-1);
    PacketBuffer buffer(0);
    EXPECT_EQ(Exchange(buffer, options), 0);
    port.QueueReply({0x18});
    PacketBuffer again(0);
    EXPECT_EQ(Exchange(again, options), 1);
    EXPECT_EQ(TraceText(), "");
}

TEST_F(ExchangeTest, OwnFailureTextsReplaceTheCommonOnes) {
    ExchangeOptions options;
    options.sendFailureText = kCefsSendFailureText;
    options.receiveFailureText = kCefsReceiveFailureText;
    port.QueueWriteFailure(6);
    port.QueueReadFailure(121);
    port.QueueReply({0x18});
    PacketBuffer buffer(0);
    EXPECT_EQ(Exchange(buffer, options), 1);
    EXPECT_TRUE(TraceText().starts_with("Can't Send 6:\nCan't Recv  121 recv num: 0 Data: \n\r"));
}

TEST_F(ExchangeTest, HooksWrapEachAttemptsWriteAndRead) {
    ExchangeOptions options;
    options.beforeAttempt = [this] { port.Note("before"); };
    options.afterRead = [this] { port.Note("after"); };
    port.QueueEmptyRead();
    port.QueueReply({0x18});
    PacketBuffer buffer(0);
    EXPECT_EQ(Exchange(buffer, options), 1);
    EXPECT_EQ(port.Events(), (std::vector<std::string>{"before", "write", "read", "after", "before", "write", "read", "after"}));
}

TEST_F(ExchangeTest, AnAttemptWithoutSendingOnlyReads) {
    PacketBuffer buffer(0);
    buffer.BuildFrame(kHello.data(), 2, 0);
    port.QueueReply({0x18});
    AttemptRecord attempt = RunAttempt(buffer, kExpected, {}, false);
    EXPECT_EQ(attempt.result, AttemptResult::kMatched);
    EXPECT_EQ(port.Events(), std::vector<std::string>{"read"});
}

TEST_F(ExchangeTest, EmptyPayloadFramesNothingAndWritesZeroBytes) {
    // An open whose header image is empty: chunkCount 0, no frame, zero-byte writes.
    PacketBuffer buffer(10240);
    buffer.SetPayloadLength(0);
    port.QueueReply({0x1C, 0x00});
    EXPECT_EQ(ExchangeCommand(buffer, Bytes{0x1B, 0x05}, Bytes{0x1C, 0x00}, "OK\n"), 1);
    ASSERT_EQ(port.PieceSizes().size(), 1u);
    EXPECT_EQ(port.PieceSizes()[0], 0u);
}
