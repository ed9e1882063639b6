// Process-wide port calls of the download protocol: one port at a time, used by the
// download worker only. Status codes: 0 success; -1 the port is not open or a wait expired;
// anything else the platform's error code (errno, or the thread's last-error code).
#pragma once

#include <atomic>
#include <cstdint>

constexpr uint32_t kReadWaitMs = 3000;
constexpr uint32_t kWriteWaitMs = 6000;     // per piece
constexpr uint32_t kLongTransferWaitMs = 30000;
constexpr uint32_t kWritePieceSize = 256;

// When 1, reads and write pieces wait up to 30,000 ms instead of 3,000 / 6,000 ms (set
// around the opens that make the handset erase or prepare large areas).
extern std::atomic<int> LongTransferWait;

// Closes any open port, then opens `path`.
int OpenPort(const char* path);
void ClosePort();
// Writes in pieces of 256 bytes, each awaited before the next. *written: the whole length
// on success, 0 after an expired wait or a piece that could not start, the short count of
// the failing piece after a short piece. A short piece fails with the port's error code,
// or -1 when the port reported none.
int WritePort(const uint8_t* data, uint32_t length, uint32_t* written);
// One read: on entry *length is the buffer size, on return the bytes received (0 after a
// failure). A reply is expected whole from one read.
int ReadPort(uint8_t* buffer, uint32_t* length);
int RecoverPort();
// Pipe transfer time-outs; does nothing where the port has no pipes.
void SetPipeTimeouts(uint32_t inMs, uint32_t outMs);
// True once the port reports that it can never succeed again: a failed exchange then ends
// its step at once instead of spending its retry budget on calls that cannot succeed.
bool PortGoneForGood();
