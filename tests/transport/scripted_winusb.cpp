#include "tests/transport/scripted_winusb.h"

#include "session/message_box.h"
#include "session/process_values.h"
#include "transport/port_io.h"
#include "transport/winusb_api_win32.h"

Script script;

namespace {

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
// Transfers are under way at once and signalled at once (unless they never end); the count
// comes with the result.
ULONG pendingCount = 0;
DWORD pendingError = 0;
BOOL Pending(LPOVERLAPPED overlapped, PUCHAR buffer, ULONG length, ULONG count, DWORD error) {
    script.overlapped = overlapped;
    script.buffer = buffer;
    script.length = length;
    pendingCount = count;
    pendingError = error;
    ResetEvent(overlapped->hEvent);  // as a transfer's start does
    if (!script.transfersNeverEnd) SetEvent(overlapped->hEvent);
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
}
BOOL WINAPI WritePipe(WINUSB_INTERFACE_HANDLE, UCHAR pipe, PUCHAR buffer, ULONG length, PULONG, LPOVERLAPPED overlapped) {
    script.calls.push_back("write " + std::to_string(pipe) + " " + std::to_string(length));
    script.sent.insert(script.sent.end(), buffer, buffer + length);
    ULONG count = length;
    if (!script.writeCounts.empty()) {
        count = script.writeCounts.front();
        script.writeCounts.pop_front();
    }
    return Pending(overlapped, buffer, length, count, count == length ? 0 : script.writeShortError);
}
BOOL WINAPI ReadPipe(WINUSB_INTERFACE_HANDLE, UCHAR pipe, PUCHAR buffer, ULONG length, PULONG, LPOVERLAPPED overlapped) {
    script.calls.push_back("read " + std::to_string(pipe));
    if (script.readStartError) {
        SetLastError(script.readStartError);
        return FALSE;
    }
    if (script.readTimesOut) return Pending(overlapped, buffer, length, 0, ERROR_SEM_TIMEOUT);
    if (!script.transfersNeverEnd) buffer[0] = 0x7E;
    return Pending(overlapped, buffer, length, 1, 0);
}
BOOL WINAPI GetOverlappedResult(WINUSB_INTERFACE_HANDLE, LPOVERLAPPED, LPDWORD bytes, BOOL wait) {
    if (script.transfersNeverEnd) {
        // The real call would wait on the event, which nothing will ever signal.
        if (wait) ADD_FAILURE() << "waited without limit for a transfer that never ends";
        SetLastError(ERROR_IO_INCOMPLETE);
        return FALSE;
    }
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

}  // namespace

WINUSB_PIPE_INFORMATION Pipe(USBD_PIPE_TYPE type, UCHAR id) {
    WINUSB_PIPE_INFORMATION pipe{};
    pipe.PipeType = type;
    pipe.PipeId = id;
    return pipe;
}

void WinUsbPortTest::SetUp() {
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

void WinUsbPortTest::TearDown() {
    ClosePort();
    InstallWinUsbApi(nullptr);
    SetMessageBoxHandler(nullptr);
    Environment = 0;
}
