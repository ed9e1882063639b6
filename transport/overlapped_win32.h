// One overlapped transfer, the way both Windows ports move bytes: started on a block of the
// port's, awaited up to a limit, its count fetched without waiting. A transfer that completes
// at once is a completed transfer (Wine completes pty transfers at once). One still pending
// when the limit passes is cancelled, and its end awaited a bounded time. A transfer that has
// not ended even then (a wedged driver after the handset was pulled) is abandoned: the driver
// may still write into its OVERLAPPED and bytes at any time, so its block is never freed nor
// used again, and the port stops using the device.
//
// The caller's own buffers are never lent to the driver: a read lands in the block and is
// copied out once it completed, a write piece goes out from a copy in the block.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>

// How long a cancelled transfer may take to end before it is abandoned.
constexpr DWORD kCancelledTransferWaitMs = 5000;

// What one direction of a port lends the driver: the OVERLAPPED, its manual-reset event and
// room for the bytes, in pages of its own.
struct TransferBlock {
    OVERLAPPED overlapped;
    HANDLE event;
    DWORD capacity;  // bytes at Bytes()
    uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(this) + kHeader; }

    static constexpr size_t kHeader = 64;
};
static_assert(sizeof(TransferBlock) <= TransferBlock::kHeader);

// A block of one page and its event; nullptr with the thread's error code set when either
// cannot be had.
TransferBlock* NewTransferBlock();
// Closes the event and frees the pages. Only for a block no transfer holds; nothing for null.
void FreeTransferBlock(TransferBlock* block);
// Makes room for `length` bytes, moving the event to a larger block when needed; false with
// the block unchanged and the error code set when the memory cannot be had.
bool ReserveTransferBytes(TransferBlock*& block, DWORD length);

struct TransferOutcome {
    enum End { kCompleted, kStartFailed, kWaitExpired, kAbandoned } end;
    DWORD bytes;  // kCompleted: what the transfer moved; 0 otherwise
    DWORD error;  // the thread's error code as the transfer left it
};

// `start(overlapped, bytes)` begins the transfer (FALSE with ERROR_IO_PENDING: under way);
// `result(overlapped, &bytes)` fetches its count without waiting; `cancel()` cancels what is
// pending on the device. Starting a transfer resets the block's event.
template <typename Start, typename Result, typename Cancel>
TransferOutcome RunOverlappedTransfer(TransferBlock& block, DWORD waitMs, Start start, Result result, Cancel cancel) {
    block.overlapped = OVERLAPPED{};
    block.overlapped.hEvent = block.event;
    DWORD bytes = 0;
    if (!start(&block.overlapped, block.Bytes())) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) return {TransferOutcome::kStartFailed, 0, error};
        if (WaitForSingleObject(block.event, waitMs) != WAIT_OBJECT_0) {
            // The code the caller goes on with is the one before the cancel.
            const DWORD before = GetLastError();
            cancel();
            const bool ended = WaitForSingleObject(block.event, kCancelledTransferWaitMs) == WAIT_OBJECT_0;
            if (ended) result(&block.overlapped, &bytes);
            SetLastError(before);
            return {ended ? TransferOutcome::kWaitExpired : TransferOutcome::kAbandoned, 0, before};
        }
    }
    // A transfer that ended in an error still reports what it moved (a short write piece).
    result(&block.overlapped, &bytes);
    return {TransferOutcome::kCompleted, bytes, GetLastError()};
}

// A write of `length` bytes of `data` from a copy in `block`, or a read of up to `length`
// bytes copied out to `data` when it completed. Room that cannot be had fails the start with
// its error code. After kAbandoned `block` is null: the abandoned block is left to the driver.
template <typename Start, typename Result, typename Cancel>
TransferOutcome RunPortTransfer(TransferBlock*& block, bool reading, uint8_t* data, DWORD length, DWORD waitMs,
                                Start start, Result result, Cancel cancel) {
    if (!ReserveTransferBytes(block, length)) return {TransferOutcome::kStartFailed, 0, GetLastError()};
    if (!reading) std::memcpy(block->Bytes(), data, length);
    const TransferOutcome outcome = RunOverlappedTransfer(
        *block, waitMs, [&](OVERLAPPED* overlapped, uint8_t* bytes) { return start(overlapped, bytes, length); },
        result, cancel);
    if (outcome.end == TransferOutcome::kAbandoned) {
        block = nullptr;  // deliberately never freed
    } else if (reading && outcome.end == TransferOutcome::kCompleted) {
        std::memcpy(data, block->Bytes(), outcome.bytes < length ? outcome.bytes : length);
    }
    return outcome;
}

// A write piece's status by the port contract: 0 when it went out whole; the start's error
// code; -1 when the wait expired (no recovery after a write); a short piece's error code.
inline int WritePieceStatus(const TransferOutcome& outcome, uint32_t length, uint32_t* written) {
    *written = 0;
    switch (outcome.end) {
    case TransferOutcome::kStartFailed: return static_cast<int>(outcome.error);
    case TransferOutcome::kWaitExpired:
    case TransferOutcome::kAbandoned: return -1;
    case TransferOutcome::kCompleted: break;
    }
    *written = outcome.bytes;
    return outcome.bytes == length ? 0 : static_cast<int>(outcome.error);
}

// A read's status: 0 with the bytes received; after a read that could not start or whose
// wait expired the port is recovered, and the status is the start's error code, or -1 for
// an expired wait (recovery normally leaves 0 behind, which must not read as success). An
// abandoned read is -1 without recovery: the device is not called again.
template <typename Recover>
int ReadStatus(const TransferOutcome& outcome, uint32_t* length, Recover recover) {
    *length = outcome.end == TransferOutcome::kCompleted ? outcome.bytes : 0;
    if (outcome.end == TransferOutcome::kCompleted) return 0;
    if (outcome.end == TransferOutcome::kAbandoned) return -1;
    recover();
    return outcome.end == TransferOutcome::kStartFailed ? static_cast<int>(outcome.error) : -1;
}
