// The stand-in winusb.dll under Wine against the simulated handset, on the device handle a
// program opens on the interface path: what the WinUSB mode's runs rely on it to do as a real
// pipe would. Run by veltrane_add_wine_test with the handset linked to that path.
#include <windows.h>
#include <winusb.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "protocol/crc16.h"
#include "protocol/download_codes.h"
#include "protocol/frame_escape.h"

namespace {

constexpr DWORD kReadPortWaitMs = 3000;  // the port's own wait: a pipe must end a read before it
constexpr uint32_t kReadLength = 10485760;

std::vector<uint8_t> Framed(const std::vector<uint8_t>& content) {
    uint16_t crc = static_cast<uint16_t>(~Crc16Update(kCrc16Preset, content.data(), content.size()));
    std::vector<uint8_t> body = content;
    body.push_back(static_cast<uint8_t>(crc));
    body.push_back(static_cast<uint8_t>(crc >> 8));
    std::vector<uint8_t> frame(2 * body.size() + 18);
    frame[0] = kFrameFlag;
    uint8_t* end = EscapeInto(frame.data() + 1, body.data(), body.size());
    *end++ = kFrameFlag;
    frame.resize(static_cast<size_t>(end - frame.data()));
    return frame;
}

struct Transfer {
    BOOL started = FALSE;
    DWORD startError = 0;
    DWORD waited = WAIT_FAILED;
    BOOL completed = FALSE;
    DWORD error = 0;
    DWORD bytes = 0;
    DWORD elapsedMs = 0;
};

class StandInPipes : public ::testing::Test {
protected:
    template <typename Function>
    Function Bind(const char* name) {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
    }

    void SetUp() override {
        dll_ = LoadLibraryA("winusb.dll");
        ASSERT_NE(dll_, nullptr);
        // Wine loads its own DLL in place of the file beside the program unless told
        // otherwise, and reports the file's path for it: only its header tells.
        ASSERT_NE(std::memcmp(reinterpret_cast<const char*>(dll_) + 0x40, "Wine builtin DLL", 16), 0)
            << "Wine's own winusb.dll was loaded: is WINEDLLOVERRIDES=winusb=n set?";
        initialize_ = Bind<decltype(&WinUsb_Initialize)>("WinUsb_Initialize");
        free_ = Bind<decltype(&WinUsb_Free)>("WinUsb_Free");
        querySettings_ = Bind<decltype(&WinUsb_QueryInterfaceSettings)>("WinUsb_QueryInterfaceSettings");
        queryPipe_ = Bind<decltype(&WinUsb_QueryPipe)>("WinUsb_QueryPipe");
        setPolicy_ = Bind<decltype(&WinUsb_SetPipePolicy)>("WinUsb_SetPipePolicy");
        readPipe_ = Bind<decltype(&WinUsb_ReadPipe)>("WinUsb_ReadPipe");
        writePipe_ = Bind<decltype(&WinUsb_WritePipe)>("WinUsb_WritePipe");
        result_ = Bind<decltype(&WinUsb_GetOverlappedResult)>("WinUsb_GetOverlappedResult");

        const char* device = std::getenv("VELTRANE_HANDSET_DEVICE");
        ASSERT_NE(device, nullptr);
        std::string path = std::string("\\\\?\\") + device;
        device_ = CreateFileA(path.c_str(), GENERIC_ALL, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING, nullptr);
        ASSERT_NE(device_, INVALID_HANDLE_VALUE) << path << " error " << GetLastError();
        ASSERT_TRUE(initialize_(device_, &pipes_)) << GetLastError();
    }

    void TearDown() override {
        if (pipes_) free_(pipes_);
        if (device_ != INVALID_HANDLE_VALUE) CloseHandle(device_);
        SetEnvironmentVariableA("VELTRANE_WINUSB_UNPLUGGED", nullptr);
    }

    void SetTimeout(UCHAR pipe, ULONG milliseconds) {
        ASSERT_TRUE(setPolicy_(pipes_, pipe, PIPE_TRANSFER_TIMEOUT, sizeof milliseconds, &milliseconds));
    }

    // One overlapped transfer as the port does it: started, waited for up to the port's wait,
    // its result fetched without waiting.
    Transfer Run(bool read, UCHAR pipe, uint8_t* data, ULONG length) {
        Transfer transfer;
        OVERLAPPED overlapped{};
        overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        DWORD start = GetTickCount();
        ULONG count = 0;
        transfer.started = read ? readPipe_(pipes_, pipe, data, length, &count, &overlapped)
                                : writePipe_(pipes_, pipe, data, length, &count, &overlapped);
        transfer.startError = transfer.started ? 0 : GetLastError();
        if (transfer.started || transfer.startError == ERROR_IO_PENDING) {
            transfer.waited = WaitForSingleObject(overlapped.hEvent, kReadPortWaitMs);
            transfer.completed = result_(pipes_, &overlapped, &transfer.bytes, transfer.waited != WAIT_OBJECT_0);
            transfer.error = transfer.completed ? 0 : GetLastError();
        }
        transfer.elapsedMs = GetTickCount() - start;
        CloseHandle(overlapped.hEvent);
        return transfer;
    }

    HMODULE dll_ = nullptr;
    HANDLE device_ = INVALID_HANDLE_VALUE;
    WINUSB_INTERFACE_HANDLE pipes_ = nullptr;
    decltype(&WinUsb_Initialize) initialize_ = nullptr;
    decltype(&WinUsb_Free) free_ = nullptr;
    decltype(&WinUsb_QueryInterfaceSettings) querySettings_ = nullptr;
    decltype(&WinUsb_QueryPipe) queryPipe_ = nullptr;
    decltype(&WinUsb_SetPipePolicy) setPolicy_ = nullptr;
    decltype(&WinUsb_ReadPipe) readPipe_ = nullptr;
    decltype(&WinUsb_WritePipe) writePipe_ = nullptr;
    decltype(&WinUsb_GetOverlappedResult) result_ = nullptr;
};

// The pipes found as the port's open finds them carry a request out and its reply back, and
// a read of the framing layer's 10 MiB ends with the reply instead of waiting for more.
TEST_F(StandInPipes, FoundBulkPipesCarryARequestAndItsReply) {
    USB_INTERFACE_DESCRIPTOR settings{};
    ASSERT_TRUE(querySettings_(pipes_, 0, &settings));
    UCHAR in = 0, out = 0;
    for (UCHAR index = 0; index < settings.bNumEndpoints; ++index) {
        WINUSB_PIPE_INFORMATION pipe{};
        ASSERT_TRUE(queryPipe_(pipes_, 0, index, &pipe));
        ASSERT_EQ(pipe.PipeType, UsbdPipeTypeBulk);
        (pipe.PipeId & 0x80 ? in : out) = pipe.PipeId;
    }
    ASSERT_NE(in, 0);
    ASSERT_NE(out, 0);
    SetTimeout(in, 1600);

    // Programmer bytes that need escaping, at the address the boot loader expects first.
    std::vector<uint8_t> request = {dmss::kWrite32, 0x00, 0xA0, 0x00, 0x00, 0x00, 0x04, 0x7E, 0x7D, 0x01, 0x02};
    std::vector<uint8_t> frame = Framed(request);
    Transfer write = Run(false, out, frame.data(), static_cast<ULONG>(frame.size()));
    ASSERT_TRUE(write.completed) << write.startError << " " << write.error;
    EXPECT_EQ(write.bytes, frame.size());

    std::vector<uint8_t> reply(kReadLength);
    Transfer read = Run(true, in, reply.data(), kReadLength);
    ASSERT_TRUE(read.completed) << read.startError << " " << read.error;
    reply.resize(read.bytes);
    EXPECT_EQ(reply, Framed({dmss::kAck}));
    EXPECT_LT(read.elapsedMs, 1600u) << "the read waited for its buffer to fill";
}

// A handset that never answers: the read ends by the pipe's own time-out, not the port's
// wait, and reports it as a pipe does; a new policy value holds for the next read.
TEST_F(StandInPipes, UnansweredReadEndsAfterThePipeTimeout) {
    std::vector<uint8_t> reply(kReadLength);
    SetTimeout(0x81, 1600);
    Transfer read = Run(true, 0x81, reply.data(), kReadLength);
    EXPECT_EQ(read.startError, static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_EQ(read.waited, WAIT_OBJECT_0);
    EXPECT_FALSE(read.completed);
    EXPECT_EQ(read.error, static_cast<DWORD>(ERROR_SEM_TIMEOUT));
    EXPECT_EQ(read.bytes, 0u);
    EXPECT_GE(read.elapsedMs, 1500u);

    SetTimeout(0x81, 300);
    read = Run(true, 0x81, reply.data(), kReadLength);
    EXPECT_EQ(read.error, static_cast<DWORD>(ERROR_SEM_TIMEOUT));
    EXPECT_LT(read.elapsedMs, 1500u);
}

TEST_F(StandInPipes, UnpluggedHandsetFailsReadsAtOnce) {
    std::vector<uint8_t> reply(64);
    SetEnvironmentVariableA("VELTRANE_WINUSB_UNPLUGGED", "1");
    Transfer read = Run(true, 0x81, reply.data(), static_cast<ULONG>(reply.size()));
    EXPECT_FALSE(read.started);
    EXPECT_EQ(read.startError, static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
}

}  // namespace
