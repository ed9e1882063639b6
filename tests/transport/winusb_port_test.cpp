// WinUSB mode against a scripted WinUSB: what the stand-in DLL under Wine cannot provoke
// (pipes of several kinds, short pieces, failing calls) and the boxes that follow.
#include <gtest/gtest.h>

#include <windows.h>
#include <winusb.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "session/message_box.h"
#include "session/process_values.h"
#include "tests/support/temp_directory.h"
#include "transport/port_io.h"
#include "transport/winusb_api_win32.h"

namespace {

// What the scripted WinUSB does; the tests set it before each call.
struct Script {
    std::vector<WINUSB_PIPE_INFORMATION> pipes;
    DWORD initializeError = 0;
    DWORD policyError = 0;              // SetPipePolicy fails with it
    std::deque<ULONG> writeCounts;      // per write: bytes it moves (default: all)
    DWORD writeShortError = 0;
    DWORD readStartError = 0;           // ReadPipe fails at once with it
    bool readTimesOut = false;          // the pipe ends the read on its own time-out
    std::vector<std::string> calls;     // "read 0x83", "write 0x02 256", ...
    std::vector<std::string> boxes;     // "caption|text"
};
Script script;

BOOL WINAPI Initialize(HANDLE, PWINUSB_INTERFACE_HANDLE handle) {
    *handle = reinterpret_cast<WINUSB_INTERFACE_HANDLE>(0x1234);
    if (script.initializeError) {
        SetLastError(script.initializeError);
        return FALSE;
    }
    return TRUE;
}
BOOL WINAPI Free(WINUSB_INTERFACE_HANDLE) { return TRUE; }
BOOL WINAPI QueryInterfaceSettings(WINUSB_INTERFACE_HANDLE, UCHAR, PUSB_INTERFACE_DESCRIPTOR descriptor) {
    descriptor->bNumEndpoints = static_cast<UCHAR>(script.pipes.size());
    return TRUE;
}
BOOL WINAPI QueryPipe(WINUSB_INTERFACE_HANDLE, UCHAR, UCHAR index, PWINUSB_PIPE_INFORMATION pipe) {
    *pipe = script.pipes.at(index);
    return TRUE;
}
BOOL WINAPI SetPipePolicy(WINUSB_INTERFACE_HANDLE, UCHAR pipe, ULONG, ULONG, PVOID value) {
    script.calls.push_back("policy " + std::to_string(pipe) + " " + std::to_string(*static_cast<ULONG*>(value)));
    if (script.policyError) {
        SetLastError(script.policyError);
        return FALSE;
    }
    return TRUE;
}
// Transfers are under way at once and signalled at once; the count comes with the result.
ULONG pendingCount = 0;
DWORD pendingError = 0;
BOOL Pending(LPOVERLAPPED overlapped, ULONG count, DWORD error) {
    pendingCount = count;
    pendingError = error;
    SetEvent(overlapped->hEvent);
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
}
BOOL WINAPI WritePipe(WINUSB_INTERFACE_HANDLE, UCHAR pipe, PUCHAR, ULONG length, PULONG, LPOVERLAPPED overlapped) {
    script.calls.push_back("write " + std::to_string(pipe) + " " + std::to_string(length));
    ULONG count = length;
    if (!script.writeCounts.empty()) {
        count = script.writeCounts.front();
        script.writeCounts.pop_front();
    }
    return Pending(overlapped, count, count == length ? 0 : script.writeShortError);
}
BOOL WINAPI ReadPipe(WINUSB_INTERFACE_HANDLE, UCHAR pipe, PUCHAR buffer, ULONG, PULONG, LPOVERLAPPED overlapped) {
    script.calls.push_back("read " + std::to_string(pipe));
    if (script.readStartError) {
        SetLastError(script.readStartError);
        return FALSE;
    }
    if (script.readTimesOut) return Pending(overlapped, 0, ERROR_SEM_TIMEOUT);
    buffer[0] = 0x7E;
    return Pending(overlapped, 1, 0);
}
BOOL WINAPI GetOverlappedResult(WINUSB_INTERFACE_HANDLE, LPOVERLAPPED, LPDWORD bytes, BOOL) {
    *bytes = pendingCount;
    if (pendingError) {
        SetLastError(pendingError);
        return FALSE;
    }
    return TRUE;
}
BOOL WINAPI AbortPipe(WINUSB_INTERFACE_HANDLE, UCHAR pipe) {
    script.calls.push_back("abort " + std::to_string(pipe));
    return TRUE;
}
BOOL WINAPI FlushPipe(WINUSB_INTERFACE_HANDLE, UCHAR pipe) {
    script.calls.push_back("flush " + std::to_string(pipe));
    return TRUE;
}
BOOL WINAPI ResetPipe(WINUSB_INTERFACE_HANDLE, UCHAR pipe) {
    script.calls.push_back("reset " + std::to_string(pipe));
    return TRUE;
}

const WinUsbApi kScriptedWinUsb = {Initialize, Free,     QueryInterfaceSettings, QueryPipe, SetPipePolicy, ReadPipe,
                                   WritePipe,  GetOverlappedResult, AbortPipe, FlushPipe, ResetPipe};

WINUSB_PIPE_INFORMATION Pipe(USBD_PIPE_TYPE type, UCHAR id) {
    WINUSB_PIPE_INFORMATION pipe{};
    pipe.PipeType = type;
    pipe.PipeId = id;
    return pipe;
}

class WinUsbPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        script = Script{};
        script.pipes = {Pipe(UsbdPipeTypeBulk, 0x81), Pipe(UsbdPipeTypeBulk, 0x02), Pipe(UsbdPipeTypeInterrupt, 0x84),
                        Pipe(UsbdPipeTypeBulk, 0x83)};
        InstallWinUsbApi(&kScriptedWinUsb);
        Environment = 1;
        SetMessageBoxHandler([](const char* text, const char* caption, void*) {
            script.boxes.push_back(std::string(caption) + "|" + text);
        });
        // Any file opens with the flags of a device interface path.
        WriteWholeFile("device", "");
        path = (directory.Path() / "device").string();
    }
    void TearDown() override {
        ClosePort();
        InstallWinUsbApi(nullptr);
        SetMessageBoxHandler(nullptr);
        Environment = 0;
    }

    TempDirectory directory;
    std::string path;
};

}  // namespace

TEST_F(WinUsbPortTest, TheLastBulkPipeOfEachDirectionCarriesTheTraffic) {
    ASSERT_EQ(OpenPort(path.c_str()), 0);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"policy 2 1600", "policy 131 1600"}));
    uint8_t reply[16] = {};
    uint32_t length = sizeof reply;
    EXPECT_EQ(ReadPort(reply, &length), 0);
    EXPECT_EQ(length, 1u);
    EXPECT_EQ(script.calls.back(), "read 131");  // 0x83, not 0x81 nor the interrupt pipe
    EXPECT_TRUE(script.boxes.empty());
}

TEST_F(WinUsbPortTest, AShortWritePieceStopsTheWrite) {
    ASSERT_EQ(OpenPort(path.c_str()), 0);
    script.writeCounts = {256, 100};
    script.writeShortError = ERROR_GEN_FAILURE;
    std::vector<uint8_t> frame(700, 0x55);
    uint32_t written = 0;
    EXPECT_EQ(WritePort(frame.data(), 700, &written), ERROR_GEN_FAILURE);
    EXPECT_EQ(written, 100u);
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
