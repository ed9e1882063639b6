// One overlapped transfer, the way both Windows ports move bytes: started on an event of
// the port's, awaited up to a limit, its count fetched without waiting. A transfer that
// completes at once is a completed transfer (Wine completes pty transfers at once). One
// still pending when the limit passes is cancelled, and its completion awaited before the
// call returns, so it can never write into the caller's buffer or OVERLAPPED later.
#pragma once

#include <windows.h>

#include <cstdint>

struct TransferOutcome {
    enum End { kCompleted, kStartFailed, kWaitExpired } end;
    DWORD bytes;  // kCompleted: what the transfer moved; 0 otherwise
    DWORD error;  // the thread's error code as the transfer left it
};

// `start(overlapped)` begins the transfer (FALSE with ERROR_IO_PENDING: under way);
// `result(overlapped, &bytes, wait)` fetches its count; `cancel()` cancels what is pending
// on the device. The event must be a manual-reset event; starting a transfer resets it.
template <typename Start, typename Result, typename Cancel>
TransferOutcome RunOverlappedTransfer(HANDLE event, DWORD waitMs, Start start, Result result, Cancel cancel) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    DWORD bytes = 0;
    if (!start(&overlapped)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) return {TransferOutcome::kStartFailed, 0, error};
        if (WaitForSingleObject(event, waitMs) != WAIT_OBJECT_0) {
            // Cancelled and awaited; the code the caller goes on with is the one before.
            const DWORD before = GetLastError();
            cancel();
            result(&overlapped, &bytes, TRUE);
            SetLastError(before);
            return {TransferOutcome::kWaitExpired, 0, before};
        }
    }
    // A transfer that ended in an error still reports what it moved (a short write piece).
    result(&overlapped, &bytes, FALSE);
    return {TransferOutcome::kCompleted, bytes, GetLastError()};
}

// A write piece's status by the port contract: 0 when it went out whole; the start's error
// code; -1 when the wait expired (no recovery after a write); a short piece's error code.
inline int WritePieceStatus(const TransferOutcome& outcome, uint32_t length, uint32_t* written) {
    *written = 0;
    switch (outcome.end) {
    case TransferOutcome::kStartFailed: return static_cast<int>(outcome.error);
    case TransferOutcome::kWaitExpired: return -1;
    case TransferOutcome::kCompleted: break;
    }
    *written = outcome.bytes;
    return outcome.bytes == length ? 0 : static_cast<int>(outcome.error);
}

// A read's status: 0 with the bytes received; after a read that could not start or whose
// wait expired the port is recovered, and the status is the start's error code, or -1 for
// an expired wait (recovery normally leaves 0 behind, which must not read as success).
template <typename Recover>
int ReadStatus(const TransferOutcome& outcome, uint32_t* length, Recover recover) {
    *length = outcome.end == TransferOutcome::kCompleted ? outcome.bytes : 0;
    if (outcome.end == TransferOutcome::kCompleted) return 0;
    recover();
    return outcome.end == TransferOutcome::kStartFailed ? static_cast<int>(outcome.error) : -1;
}
