// A transfer that has not ended when the wait after its cancel runs out (a driver wedged after
// the handset was pulled). The port stays abandoned for the rest of the process, hence a
// program of its own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/transport/scripted_winusb.h"
#include "transport/overlapped_win32.h"
#include "transport/port_io.h"
#include "transport/windows_ports.h"

TEST_F(WinUsbPortTest, AReadThatNeverEndsIsLeftToTheDriverAndEveryLaterCallFailsAtOnce) {
    ASSERT_EQ(OpenPort(path.c_str()), 0);
    script.transfersNeverEnd = true;
    std::vector<uint8_t> reply(100000, 0xAA);
    uint32_t length = static_cast<uint32_t>(reply.size());
    const DWORD start = GetTickCount();
    EXPECT_EQ(WinUsbPort().read(nullptr, reply.data(), &length, 50), -1);
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(length, 0u);
    // The cancelled read had its bounded wait, and no more.
    EXPECT_GE(elapsed + 50, kCancelledTransferWaitMs);
    EXPECT_LT(elapsed, kCancelledTransferWaitMs + 5000);
    // The pipe was lent memory of the port's, never the caller's buffer.
    ASSERT_NE(script.buffer, nullptr);
    EXPECT_EQ(script.length, reply.size());
    EXPECT_TRUE(script.buffer + script.length <= reply.data() || script.buffer >= reply.data() + reply.size());

    // Nothing reaches the driver again, and no box shows.
    script.calls.clear();
    uint32_t written = 0;
    EXPECT_EQ(WritePort(reply.data(), 10, &written), -1);
    EXPECT_EQ(ReadPort(reply.data(), &length), -1);
    RecoverPort();
    SetPipeTimeouts(10000, 10000);
    ClosePort();
    EXPECT_EQ(OpenPort(path.c_str()), ERROR_BUSY);
    EXPECT_THAT(script.calls, ::testing::IsEmpty());
    EXPECT_THAT(script.boxes, ::testing::IsEmpty());

    // The driver ends the read late, filling all it was lent: the OVERLAPPED, its event and the
    // bytes are still there (freed pages would fault, a closed event could not be set), and the
    // caller's buffer is untouched.
    std::fill(script.buffer, script.buffer + script.length, 0x5A);
    script.overlapped->Internal = 0;
    script.overlapped->InternalHigh = script.length;
    EXPECT_TRUE(SetEvent(script.overlapped->hEvent));
    EXPECT_EQ(std::count(reply.begin(), reply.end(), 0xAA), static_cast<std::ptrdiff_t>(reply.size()));
}
