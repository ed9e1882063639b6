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
    // One block for writes and one for reads, for as long as the port is open: a transfer
    // never outlives its call, unless it is abandoned with its block.
    TransferBlock* writeBlock = nullptr;
    TransferBlock* readBlock = nullptr;
};

SerialState serial;
// Set for good once a transfer was abandoned: the device is never called again.
bool abandoned = false;

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
    FreeTransferBlock(serial.writeBlock);
    FreeTransferBlock(serial.readBlock);
    serial = SerialState{};
}

// After a transfer the driver never ended, its block is the driver's, and the device handle
// is left open for good (closing it calls into the driver too); the other block is idle.
// The port is closed, and every later call fails at once.
void Abandon() {
    FreeTransferBlock(serial.writeBlock);
    FreeTransferBlock(serial.readBlock);
    serial = SerialState{};
    abandoned = true;
}

int Open(void* context, const char* name) {
    Close(context);
    if (abandoned) return ERROR_BUSY;
    HANDLE device = CreateFileA(name, GENERIC_ALL, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (device == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
    TransferBlock* writeBlock = NewTransferBlock();
    TransferBlock* readBlock = writeBlock ? NewTransferBlock() : nullptr;
    if (!readBlock) {
        const int error = static_cast<int>(GetLastError());
        FreeTransferBlock(writeBlock);
        CloseHandle(device);
        return error ? error : -1;
    }
    serial = SerialState{device, true, writeBlock, readBlock};
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

TransferOutcome Transfer(TransferBlock*& block, DWORD waitMs, bool reading, uint8_t* data, DWORD length) {
    const TransferOutcome outcome = RunPortTransfer(
        block, reading, data, length, waitMs,
        [reading](OVERLAPPED* overlapped, uint8_t* bytes, DWORD count) {
            return reading ? ReadFile(serial.device, bytes, count, nullptr, overlapped)
                           : WriteFile(serial.device, bytes, count, nullptr, overlapped);
        },
        [](OVERLAPPED* overlapped, DWORD* bytes) { return GetOverlappedResult(serial.device, overlapped, bytes, FALSE); },
        [] { CancelIo(serial.device); });
    if (outcome.end == TransferOutcome::kAbandoned) Abandon();
    return outcome;
}

int Write(void*, const uint8_t* data, uint32_t length, uint32_t* written, uint32_t waitMs) {
    *written = 0;
    if (!serial.open) return -1;
    SetLastError(0);
    // A write only reads the piece.
    return WritePieceStatus(Transfer(serial.writeBlock, waitMs, false, const_cast<uint8_t*>(data), length), length,
                            written);
}

int Read(void* context, uint8_t* buffer, uint32_t* length, uint32_t waitMs) {
    const DWORD capacity = *length;
    *length = 0;
    if (!serial.open) return -1;
    SetLastError(0);
    return ReadStatus(Transfer(serial.readBlock, waitMs, true, buffer, capacity), length,
                      [context] { Recover(context); });
}

const PortOperations kSerialPort = [] {
    PortOperations operations;
    operations.open = Open;
    operations.close = Close;
    operations.write = Write;
    operations.read = Read;
    operations.recover = Recover;
    operations.goneForGood = [](void*) { return abandoned; };
    return operations;
}();

}  // namespace

const PortOperations& SerialPort() { return kSerialPort; }
