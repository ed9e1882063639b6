// The process-wide port calls: write pieces, wait limits and what a failed piece reports.
#include <gtest/gtest.h>

#include <vector>

#include "tests/transport/scripted_port.h"
#include "transport/port_io.h"

namespace {
std::vector<uint8_t> Bytes(size_t length) {
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(i);
    return bytes;
}
}  // namespace

TEST(WritePort, GoesOutInPiecesOf256Bytes) {
    ScriptedPort port;
    auto data = Bytes(257);
    uint32_t written = 0;
    EXPECT_EQ(WritePort(data.data(), 257, &written), 0);
    EXPECT_EQ(written, 257u);
    EXPECT_EQ(port.PieceSizes(), (std::vector<uint32_t>{256, 1}));
    EXPECT_EQ(port.Frames()[0], data);
}

TEST(WritePort, ShortSecondPieceReportsItsErrorAndShortCount) {
    ScriptedPort port;
    auto data = Bytes(700);
    uint32_t written = 0;
    port.QueueWriteFailure(0, 256);  // the first piece goes out whole
    port.QueueWriteFailure(121, 100);
    EXPECT_EQ(WritePort(data.data(), 700, &written), 121);
    EXPECT_EQ(written, 100u);
    EXPECT_EQ(port.PieceSizes(), (std::vector<uint32_t>{256, 256}));
}

TEST(WritePort, PieceThatGoesOutShortWithoutAnErrorIsAFailure) {
    ScriptedPort port;
    auto data = Bytes(700);
    uint32_t written = 0;
    port.QueueWriteFailure(0, 256);
    port.QueueWriteFailure(0, 40);  // the port says all went well, but only 40 bytes left
    EXPECT_EQ(WritePort(data.data(), 700, &written), -1);
    EXPECT_EQ(written, 40u);  // the failing piece's own count, as the trace prints it
    EXPECT_EQ(port.PieceSizes(), (std::vector<uint32_t>{256, 256}));
}

TEST(WritePort, ExpiredWaitReportsNothingWritten) {
    ScriptedPort port;
    auto data = Bytes(10);
    port.QueueWriteFailure(-1, 0);
    uint32_t written = 5;
    EXPECT_EQ(WritePort(data.data(), 10, &written), -1);
    EXPECT_EQ(written, 0u);
}

TEST(WritePort, ClosedPortFailsAtOnce) {
    ScriptedPort port;
    port.SetOpen(false);
    auto data = Bytes(10);
    uint32_t written = 5;
    EXPECT_EQ(WritePort(data.data(), 10, &written), -1);
    EXPECT_EQ(written, 0u);
    uint32_t length = 100;
    EXPECT_EQ(ReadPort(data.data(), &length), -1);
    EXPECT_EQ(length, 0u);
}

TEST(PortWaits, LongTransferWaitRaisesBothLimits) {
    ScriptedPort port;
    auto data = Bytes(300);
    uint32_t written = 0, length = 300;
    WritePort(data.data(), 300, &written);
    ReadPort(data.data(), &length);
    LongTransferWait = 1;
    WritePort(data.data(), 10, &written);
    ReadPort(data.data(), &length);
    LongTransferWait = 0;
    EXPECT_EQ(port.WriteWaits(), (std::vector<uint32_t>{6000, 6000, 30000}));
    EXPECT_EQ(port.ReadWaits(), (std::vector<uint32_t>{3000, 30000}));
}

TEST(OpenPort, ClosesFirstThenOpens) {
    ScriptedPort port;
    EXPECT_EQ(OpenPort("COM9"), 0);
    ClosePort();
    ClosePort();  // a second close is harmless
    EXPECT_EQ(port.Events(), (std::vector<std::string>{"close", "open COM9", "close"}));
}

TEST(SetPipeTimeouts, ReachesThePort) {
    ScriptedPort port;
    SetPipeTimeouts(10000, 2000);
    EXPECT_EQ(port.Events(), std::vector<std::string>{"pipes 10000 2000"});
}
