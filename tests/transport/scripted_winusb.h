// WinUSB mode against a scripted WinUSB: what the stand-in DLL under Wine cannot provoke
// (pipes of several kinds, short pieces, failing calls, a transfer that never ends) and the
// boxes that follow.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <winusb.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "tests/support/temp_directory.h"

// What the scripted WinUSB does; the tests set it before each call.
struct Script {
    std::vector<WINUSB_PIPE_INFORMATION> pipes;
    DWORD initializeError = 0;
    DWORD policyError = 0;              // SetPipePolicy fails with it
    std::deque<ULONG> writeCounts;      // per write: bytes it moves (default: all)
    DWORD writeShortError = 0;
    DWORD readStartError = 0;           // ReadPipe fails at once with it
    bool readTimesOut = false;          // the pipe ends the read on its own time-out
    bool transfersNeverEnd = false;     // under way for good, cancelled or not
    std::vector<std::string> calls;     // "read 0x83", "write 0x02 256", ...
    std::vector<std::string> boxes;     // "caption|text"
    std::vector<uint8_t> sent;          // every write piece's bytes as lent to the pipe
    // The last transfer as the pipe was given it.
    LPOVERLAPPED overlapped = nullptr;
    PUCHAR buffer = nullptr;
    ULONG length = 0;
};
extern Script script;

WINUSB_PIPE_INFORMATION Pipe(USBD_PIPE_TYPE type, UCHAR id);

// The scripted WinUSB installed, WinUSB mode, and a file that opens as a device interface path.
class WinUsbPortTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    TempDirectory directory;
    std::string path;
};
