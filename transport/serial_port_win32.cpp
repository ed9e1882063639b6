// Serial mode: the download port is a serial-style device, driven with overlapped file
// reads and writes. No line settings are made; the five time-outs of 7 ms end a read
// 7 ms after the reply's last byte.
#include <windows.h>

#include "transport/overlapped_win32.h"
#include "transport/windows_ports.h"

namespace {

constexpr DWORD kCommTimeoutMs = 7;
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;  // 0x0D

struct SerialState {
    HANDLE device = INVALID_HANDLE_VALUE;
    bool open = false;
    // One event for writes and one for reads, for as long as the port is open: a transfer
    // resets its event when it starts, and never outlives its call.
    HANDLE writeEvent = nullptr;
    HANDLE readEvent = nullptr;
};

SerialState serial;

int Recover(void*) {
    if (!serial.open) return ERROR_SERIAL_NO_DEVICE;  // 1118
    SetLastError(0);
    PurgeComm(serial.device, kPurgeAll);
    CancelIo(serial.device);
    return static_cast<int>(GetLastError());
}

void Close(void* context) {
    if (!serial.open) return;
    Recover(context);
    serial.open = false;
    CloseHandle(serial.device);
    serial.device = INVALID_HANDLE_VALUE;
    CloseHandle(serial.writeEvent);
    CloseHandle(serial.readEvent);
    serial.writeEvent = serial.readEvent = nullptr;
}

int Open(void* context, const char* name) {
    Close(context);
    HANDLE device = CreateFileA(name, GENERIC_ALL, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (device == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
    HANDLE writeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE readEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!writeEvent || !readEvent) {
        const int error = static_cast<int>(GetLastError());
        if (writeEvent) CloseHandle(writeEvent);
        if (readEvent) CloseHandle(readEvent);
        CloseHandle(device);
        return error ? error : -1;
    }
    serial = SerialState{device, true, writeEvent, readEvent};
    COMMTIMEOUTS timeouts{};
    GetCommTimeouts(device, &timeouts);
    timeouts.ReadIntervalTimeout = kCommTimeoutMs;
    timeouts.ReadTotalTimeoutMultiplier = kCommTimeoutMs;
    timeouts.ReadTotalTimeoutConstant = kCommTimeoutMs;
    timeouts.WriteTotalTimeoutMultiplier = kCommTimeoutMs;
    timeouts.WriteTotalTimeoutConstant = kCommTimeoutMs;
    SetCommTimeouts(device, &timeouts);
    return 0;
}

TransferOutcome Transfer(HANDLE event, DWORD waitMs, bool reading, uint8_t* buffer, DWORD length) {
    return RunOverlappedTransfer(
        event, waitMs,
        [&](OVERLAPPED* overlapped) {
            return reading ? ReadFile(serial.device, buffer, length, nullptr, overlapped)
                           : WriteFile(serial.device, buffer, length, nullptr, overlapped);
        },
        [](OVERLAPPED* overlapped, DWORD* bytes, BOOL wait) {
            return GetOverlappedResult(serial.device, overlapped, bytes, wait);
        },
        [] { CancelIo(serial.device); });
}

int Write(void*, const uint8_t* data, uint32_t length, uint32_t* written, uint32_t waitMs) {
    *written = 0;
    if (!serial.open) return -1;
    SetLastError(0);
    // WriteFile only reads the piece.
    return WritePieceStatus(Transfer(serial.writeEvent, waitMs, false, const_cast<uint8_t*>(data), length), length,
                            written);
}

int Read(void* context, uint8_t* buffer, uint32_t* length, uint32_t waitMs) {
    const DWORD capacity = *length;
    *length = 0;
    if (!serial.open) return -1;
    SetLastError(0);
    return ReadStatus(Transfer(serial.readEvent, waitMs, true, buffer, capacity), length,
                      [context] { Recover(context); });
}

const PortOperations kSerialPort = [] {
    PortOperations operations;
    operations.open = Open;
    operations.close = Close;
    operations.write = Write;
    operations.read = Read;
    operations.recover = Recover;
    return operations;
}();

}  // namespace

const PortOperations& SerialPort() { return kSerialPort; }
