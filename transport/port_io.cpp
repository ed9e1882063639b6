#include "transport/port_io.h"

#include <algorithm>

#include "transport/port_operations.h"

std::atomic<int> LongTransferWait{0};

namespace {
const PortOperations* installed = nullptr;

uint32_t WaitFor(uint32_t normalMs) {
    return LongTransferWait.load(std::memory_order_relaxed) == 1 ? kLongTransferWaitMs : normalMs;
}
}  // namespace

void InstallPort(const PortOperations* operations) { installed = operations; }

const PortOperations& CurrentPort() { return installed ? *installed : PlatformPort(); }

int OpenPort(const char* path) {
    ClosePort();
    const PortOperations& port = CurrentPort();
    return port.open ? port.open(port.context, path) : -1;
}

void ClosePort() {
    const PortOperations& port = CurrentPort();
    if (port.close) port.close(port.context);
}

int WritePort(const uint8_t* data, uint32_t length, uint32_t* written) {
    const PortOperations& port = CurrentPort();
    *written = 0;
    if (!port.write) return -1;
    uint32_t sent = 0;
    do {
        uint32_t piece = std::min(length - sent, kWritePieceSize);
        uint32_t pieceWritten = 0;
        int status = port.write(port.context, data + sent, piece, &pieceWritten, WaitFor(kWriteWaitMs));
        if (status != 0 || pieceWritten != piece) {
            *written = pieceWritten;
            // A piece that went out short is a failure even when the port reported none:
            // the rest of the frame was never sent.
            return status != 0 ? status : -1;
        }
        sent += piece;
        *written = sent;
    } while (sent < length);
    return 0;
}

int ReadPort(uint8_t* buffer, uint32_t* length) {
    const PortOperations& port = CurrentPort();
    if (!port.read) {
        *length = 0;
        return -1;
    }
    return port.read(port.context, buffer, length, WaitFor(kReadWaitMs));
}

int RecoverPort() {
    const PortOperations& port = CurrentPort();
    return port.recover ? port.recover(port.context) : -1;
}

void SetPipeTimeouts(uint32_t inMs, uint32_t outMs) {
    const PortOperations& port = CurrentPort();
    if (port.setPipeTimeouts) port.setPipeTimeouts(port.context, inMs, outMs);
}

bool PortGoneForGood() {
    const PortOperations& port = CurrentPort();
    return port.goneForGood && port.goneForGood(port.context);
}
