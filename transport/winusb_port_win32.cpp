// WinUSB mode: the download port is the bulk IN and bulk OUT pipe of the handset's WinUSB
// interface, opened by its device interface path. The pipes end a transfer themselves
// after their transfer time-out (1,600 ms from the open); failures show the boxes the
// operators know from the field.
#include <windows.h>
#include <winusb.h>

#include <string>

#include "session/message_box.h"
#include "session/trace_log.h"
#include "transport/overlapped_win32.h"
#include "transport/winusb_api_win32.h"
#include "transport/windows_ports.h"

namespace {

constexpr ULONG kPipeTransferTimeoutMs = 1600;

struct WinUsbState {
    HANDLE device = INVALID_HANDLE_VALUE;
    WINUSB_INTERFACE_HANDLE usb = nullptr;
    const WinUsbApi* api = nullptr;
    bool open = false;
    UCHAR inPipeId = 0;
    UCHAR outPipeId = 0;
    TransferBlock* writeBlock = nullptr;
    TransferBlock* readBlock = nullptr;
};

WinUsbState port;
// Set for good once a transfer was abandoned: the device is never called again.
bool abandoned = false;

// A box on the calling thread, which waits until it is dismissed. The thread's error code
// is kept across it: the recovery's later steps still see it.
void ShowBox(const std::string& text, const char* caption) {
    const DWORD error = GetLastError();
    ShowMessageBox(text.c_str(), caption, nullptr);
    SetLastError(error);
}

bool SetTransferTimeout(UCHAR pipe, ULONG milliseconds) {
    return port.api->SetPipePolicy(port.usb, pipe, PIPE_TRANSFER_TIMEOUT, sizeof milliseconds, &milliseconds) != 0;
}

// Cancels what is pending, then empties and resets both pipes. After each step whose
// error code is not 0 a box shows the code and the step's result; the code is not cleared
// between steps, so one failure shows in the boxes of the steps after it too.
int Recover(void*) {
    if (!port.open) return 0;
    const auto step = [](BOOL result, const char* text, const char* caption) {
        if (const DWORD error = GetLastError())
            ShowBox(FormatText(text, static_cast<int>(error), static_cast<int>(result)), caption);
    };
    step(CancelIo(port.device), "2 cancel io:%d %d", "flush 2");
    step(port.api->AbortPipe(port.usb, port.inPipeId), "1R Abort:%d %d", "flush 1");
    step(port.api->AbortPipe(port.usb, port.outPipeId), "2W Abort:%d %d", "flush 1");
    step(port.api->FlushPipe(port.usb, port.inPipeId), "3R Flush:%d %d", "flush 1");
    step(port.api->FlushPipe(port.usb, port.outPipeId), "4W Flush:%d %d", "flush 1");
    step(port.api->ResetPipe(port.usb, port.inPipeId), "5R Reset:%d %d", "flush 1");
    step(port.api->ResetPipe(port.usb, port.outPipeId), "6W Reset:%d %d", "flush 1");
    return 0;
}

void ReleaseHandles() {
    if (port.usb) port.api->Free(port.usb);
    if (port.device != INVALID_HANDLE_VALUE) CloseHandle(port.device);
    FreeTransferBlock(port.writeBlock);
    FreeTransferBlock(port.readBlock);
    port = WinUsbState{};
}

// After a transfer the driver never ended, its block is the driver's, and the interface and
// device handles are left open for good (freeing them calls into the driver too); the other
// block is idle. The port is closed, and every later call fails at once.
void Abandon() {
    FreeTransferBlock(port.writeBlock);
    FreeTransferBlock(port.readBlock);
    port = WinUsbState{};
    abandoned = true;
}

// The OUT pipe is left alone at close.
void Close(void*) {
    if (!port.open) return;
    port.api->AbortPipe(port.usb, port.inPipeId);
    port.open = false;
    port.api->FlushPipe(port.usb, port.inPipeId);
    ReleaseHandles();
}

// An open failure that shows a box: the code, the path, the box, then the code returned.
int FailWithBox(const std::string& text, const char* caption) {
    const DWORD error = GetLastError();
    ShowBox(text, caption);
    ReleaseHandles();
    return static_cast<int>(error);
}

int FailQuietly() {
    const DWORD error = GetLastError();
    ReleaseHandles();
    return error ? static_cast<int>(error) : -1;
}

// The bulk pipes of alternate setting 0: the last IN and the last OUT pipe win.
bool FindPipes(const USB_INTERFACE_DESCRIPTOR& interface) {
    for (UCHAR index = 0; index < interface.bNumEndpoints; ++index) {
        WINUSB_PIPE_INFORMATION pipe{};
        if (!port.api->QueryPipe(port.usb, 0, index, &pipe)) {
            if (GetLastError() != 0) return false;
            continue;
        }
        if (pipe.PipeType != UsbdPipeTypeBulk) continue;
        if (pipe.PipeId & 0x80)
            port.inPipeId = pipe.PipeId;
        else
            port.outPipeId = pipe.PipeId;
    }
    return true;
}

int Open(void* context, const char* path) {
    Close(context);
    if (abandoned) return ERROR_BUSY;
    SetLastError(0);
    port.device = CreateFileA(path, GENERIC_ALL, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING,
                              nullptr);
    if (port.device == INVALID_HANDLE_VALUE) return FailQuietly();
    const std::string name = path;
    const auto initFailure = [&name](const char* caption) {
        return FailWithBox(FormatText("w:%dname_:%s", static_cast<int>(GetLastError()), name.c_str()), caption);
    };
    port.api = BoundWinUsb();
    if (!port.api) return initFailure("Can't initial winusb interface handle");
    if (!port.api->Initialize(port.device, &port.usb)) {
        port.usb = nullptr;
        if (GetLastError() != 0) return initFailure("Can't initial winusb interface handle");
    }
    USB_INTERFACE_DESCRIPTOR interface{};
    if (!port.api->QueryInterfaceSettings(port.usb, 0, &interface) && GetLastError() != 0)
        return initFailure("QueryInterfaceSettings");
    if (!FindPipes(interface)) return FailQuietly();
    if (!SetTransferTimeout(port.outPipeId, kPipeTransferTimeoutMs) && GetLastError() != 0)
        return FailWithBox(FormatText("W Error:%d,S:%s,ID%d", static_cast<int>(GetLastError()), path, port.outPipeId),
                           "note5");
    if (!SetTransferTimeout(port.inPipeId, kPipeTransferTimeoutMs) && GetLastError() != 0)
        return FailWithBox(FormatText("R Error:%d,S:%s,ID%d", static_cast<int>(GetLastError()), path, port.inPipeId),
                           "note5");
    port.writeBlock = NewTransferBlock();
    port.readBlock = port.writeBlock ? NewTransferBlock() : nullptr;
    if (!port.readBlock) return FailQuietly();
    port.open = true;
    return 0;
}

TransferOutcome Transfer(TransferBlock*& block, DWORD waitMs, UCHAR pipe, bool reading, uint8_t* data, ULONG length) {
    const TransferOutcome outcome = RunPortTransfer(
        block, reading, data, length, waitMs,
        [pipe, reading](OVERLAPPED* overlapped, uint8_t* bytes, ULONG count) {
            return reading ? port.api->ReadPipe(port.usb, pipe, bytes, count, nullptr, overlapped)
                           : port.api->WritePipe(port.usb, pipe, bytes, count, nullptr, overlapped);
        },
        [](OVERLAPPED* overlapped, DWORD* bytes) {
            return port.api->GetOverlappedResult(port.usb, overlapped, bytes, FALSE);
        },
        [] { CancelIo(port.device); });
    if (outcome.end == TransferOutcome::kAbandoned) Abandon();
    return outcome;
}

int Write(void*, const uint8_t* data, uint32_t length, uint32_t* written, uint32_t waitMs) {
    *written = 0;
    if (!port.open) return -1;
    SetLastError(0);
    // A write only reads the piece.
    return WritePieceStatus(
        Transfer(port.writeBlock, waitMs, port.outPipeId, false, const_cast<uint8_t*>(data), length), length, written);
}

// A pipe that ended the transfer on its own time-out is a completed read with nothing in it.
int Read(void* context, uint8_t* buffer, uint32_t* length, uint32_t waitMs) {
    const ULONG capacity = *length;
    *length = 0;
    if (!port.open) return -1;
    SetLastError(0);
    return ReadStatus(Transfer(port.readBlock, waitMs, port.inPipeId, true, buffer, capacity), length,
                      [context] { Recover(context); });
}

void SetPipeTimeouts(void*, uint32_t inMs, uint32_t outMs) {
    if (!port.open) return;
    if (!SetTransferTimeout(port.outPipeId, outMs) && static_cast<LONG>(GetLastError()) > 0)
        ShowBox(FormatText("W Error:%d, ID%d", static_cast<int>(GetLastError()), port.outPipeId), "note5W");
    if (!SetTransferTimeout(port.inPipeId, inMs) && static_cast<LONG>(GetLastError()) > 0)
        ShowBox(FormatText("R Error:%d, ID%d", static_cast<int>(GetLastError()), port.inPipeId), "note5R");
}

const PortOperations kWinUsbPort = [] {
    PortOperations operations;
    operations.open = Open;
    operations.close = Close;
    operations.write = Write;
    operations.read = Read;
    operations.recover = Recover;
    operations.goneForGood = [](void*) { return abandoned; };
    operations.setPipeTimeouts = SetPipeTimeouts;
    return operations;
}();

}  // namespace

const PortOperations& WinUsbPort() { return kWinUsbPort; }
