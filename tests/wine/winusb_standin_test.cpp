// The stand-in winusb.dll under Wine against the simulated handset, on the device handle a
// program opens on the interface path: its pipe time-out policy, which the WinUSB runs rely
// on without watching it change. Run by veltrane_add_wine_test with the handset linked to
// that path.
#include <windows.h>
#include <winusb.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr UCHAR kInPipe = 0x81;
constexpr DWORD kReadPortWaitMs = 3000;  // the port's own wait: the pipe must end a read before it
constexpr ULONG kReadLength = 10485760;  // what the framing layer asks for

template <typename Function>
Function Bind(HMODULE dll, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

struct SilentRead {
    DWORD waited = WAIT_FAILED;
    BOOL completed = TRUE;
    DWORD error = 0;
    DWORD bytes = 0;
    DWORD elapsedMs = 0;
};

TEST(StandInPipes, UnansweredReadEndsAfterThePipeTimeoutThePolicyLastSet) {
    HMODULE dll = LoadLibraryA("winusb.dll");
    ASSERT_NE(dll, nullptr);
    // Wine loads its own DLL in place of the file beside the program unless told otherwise,
    // and reports the file's path for it: only its header tells.
    ASSERT_NE(std::memcmp(reinterpret_cast<const char*>(dll) + 0x40, "Wine builtin DLL", 16), 0)
        << "Wine's own winusb.dll was loaded: is WINEDLLOVERRIDES=winusb=n set?";
    auto initialize = Bind<decltype(&WinUsb_Initialize)>(dll, "WinUsb_Initialize");
    auto release = Bind<decltype(&WinUsb_Free)>(dll, "WinUsb_Free");
    auto setPolicy = Bind<decltype(&WinUsb_SetPipePolicy)>(dll, "WinUsb_SetPipePolicy");
    auto readPipe = Bind<decltype(&WinUsb_ReadPipe)>(dll, "WinUsb_ReadPipe");
    auto result = Bind<decltype(&WinUsb_GetOverlappedResult)>(dll, "WinUsb_GetOverlappedResult");

    const char* device = std::getenv("VELTRANE_HANDSET_DEVICE");
    ASSERT_NE(device, nullptr);
    const std::string path = std::string("\\\\?\\") + device;
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_ALL, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE) << path << " error " << GetLastError();
    WINUSB_INTERFACE_HANDLE pipes = nullptr;
    ASSERT_TRUE(initialize(handle, &pipes)) << GetLastError();

    std::vector<uint8_t> buffer(kReadLength);
    const auto readWithTimeout = [&](ULONG timeoutMs) {
        SilentRead read;
        EXPECT_TRUE(setPolicy(pipes, kInPipe, PIPE_TRANSFER_TIMEOUT, sizeof timeoutMs, &timeoutMs));
        OVERLAPPED overlapped{};
        overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        const DWORD start = GetTickCount();
        if (!readPipe(pipes, kInPipe, buffer.data(), kReadLength, nullptr, &overlapped) &&
            GetLastError() == ERROR_IO_PENDING) {
            read.waited = WaitForSingleObject(overlapped.hEvent, kReadPortWaitMs);
            read.completed = result(pipes, &overlapped, &read.bytes, read.waited != WAIT_OBJECT_0);
            read.error = GetLastError();
        }
        read.elapsedMs = GetTickCount() - start;
        CloseHandle(overlapped.hEvent);
        return read;
    };

    // Ended by the pipe as a real one ends it: signalled, failed with the semaphore time-out.
    SilentRead read = readWithTimeout(1600);
    EXPECT_EQ(read.waited, WAIT_OBJECT_0);
    EXPECT_FALSE(read.completed);
    EXPECT_EQ(read.error, static_cast<DWORD>(ERROR_SEM_TIMEOUT));
    EXPECT_EQ(read.bytes, 0u);
    EXPECT_GE(read.elapsedMs, 1500u);

    read = readWithTimeout(300);
    EXPECT_EQ(read.error, static_cast<DWORD>(ERROR_SEM_TIMEOUT));
    EXPECT_LT(read.elapsedMs, 1500u);
    release(pipes);
    CloseHandle(handle);
}

}  // namespace
