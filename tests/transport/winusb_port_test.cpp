// WinUSB mode against a scripted WinUSB (tests/transport/scripted_winusb.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/transport/scripted_winusb.h"
#include "transport/port_io.h"

TEST_F(WinUsbPortTest, TheLastBulkPipeOfEachDirectionCarriesTheTraffic) {
    ASSERT_EQ(OpenPort(path.c_str()), 0);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"policy 2 1600", "policy 131 1600"}));
    uint8_t reply[16];
    std::fill(reply, reply + sizeof reply, 0xAA);
    uint32_t length = sizeof reply;
    EXPECT_EQ(ReadPort(reply, &length), 0);
    EXPECT_EQ(length, 1u);
    // What the pipe received and nothing more, copied from where the pipe was lent to read.
    EXPECT_EQ(reply[0], 0x7E);
    EXPECT_EQ(std::count(reply, reply + sizeof reply, 0xAA), 15);
    EXPECT_EQ(script.calls.back(), "read 131");  // 0x83, not 0x81 nor the interrupt pipe
    EXPECT_TRUE(script.boxes.empty());
}

TEST_F(WinUsbPortTest, AShortWritePieceStopsTheWrite) {
    ASSERT_EQ(OpenPort(path.c_str()), 0);
    script.writeCounts = {256, 100};
    script.writeShortError = ERROR_GEN_FAILURE;
    std::vector<uint8_t> frame(700);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i % 251);
    uint32_t written = 0;
    EXPECT_EQ(WritePort(frame.data(), 700, &written), ERROR_GEN_FAILURE);
    EXPECT_EQ(written, 100u);
    EXPECT_EQ(script.sent, std::vector<uint8_t>(frame.begin(), frame.begin() + 512));  // each piece as it was
    EXPECT_EQ(script.calls.back(), "write 2 256");  // the second piece; no third
    EXPECT_EQ(std::count(script.calls.begin(), script.calls.end(), "write 2 256"), 2);
}

TEST_F(WinUsbPortTest, OpenFailuresShowTheirBoxesAndReturnTheirCodes) {
    script.initializeError = ERROR_BAD_DEVICE;
    EXPECT_EQ(OpenPort(path.c_str()), ERROR_BAD_DEVICE);
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0], "Can't initial winusb interface handle|w:" + std::to_string(ERROR_BAD_DEVICE) +
                                   "name_:" + path);

    script = Script{};
    script.pipes = {Pipe(UsbdPipeTypeBulk, 0x81), Pipe(UsbdPipeTypeBulk, 0x02)};
    script.policyError = ERROR_INVALID_PARAMETER;
    EXPECT_EQ(OpenPort(path.c_str()), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(script.boxes, (std::vector<std::string>{"note5|W Error:87,S:" + path + ",ID2"}));
}

TEST_F(WinUsbPortTest, AReadThatCannotStartRecoversBothPipesWithABoxForEveryStep) {
    ASSERT_EQ(OpenPort(path.c_str()), 0);
    script.readStartError = ERROR_DEVICE_NOT_CONNECTED;
    uint8_t reply[16] = {};
    uint32_t length = sizeof reply;
    EXPECT_EQ(ReadPort(reply, &length), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(length, 0u);
    const std::string code = std::to_string(ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(script.boxes, (std::vector<std::string>{
                                "flush 2|2 cancel io:" + code + " 1", "flush 1|1R Abort:" + code + " 1",
                                "flush 1|2W Abort:" + code + " 1", "flush 1|3R Flush:" + code + " 1",
                                "flush 1|4W Flush:" + code + " 1", "flush 1|5R Reset:" + code + " 1",
                                "flush 1|6W Reset:" + code + " 1"}));
    EXPECT_EQ(std::vector<std::string>(script.calls.end() - 6, script.calls.end()),
              (std::vector<std::string>{"abort 131", "abort 2", "flush 131", "flush 2", "reset 131", "reset 2"}));
}

TEST_F(WinUsbPortTest, APipeThatTimesOutEndsTheReadEmptyWithoutRecovery) {
    ASSERT_EQ(OpenPort(path.c_str()), 0);
    script.readTimesOut = true;
    uint8_t reply[16] = {};
    uint32_t length = sizeof reply;
    EXPECT_EQ(ReadPort(reply, &length), 0);
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(script.boxes.empty());
    EXPECT_EQ(script.calls.back(), "read 131");
}

TEST_F(WinUsbPortTest, RaisedTimeoutsThatFailShowTheirBoxesAndCloseLeavesTheOutPipe) {
    ASSERT_EQ(OpenPort(path.c_str()), 0);
    script.policyError = ERROR_INVALID_PARAMETER;
    SetPipeTimeouts(10000, 10000);
    EXPECT_EQ(script.boxes, (std::vector<std::string>{"note5W|W Error:87, ID2", "note5R|R Error:87, ID131"}));
    script.calls.clear();
    ClosePort();
    ClosePort();  // twice is harmless
    EXPECT_EQ(script.calls, (std::vector<std::string>{"abort 131", "flush 131"}));
}
