#include "protocol/command_exchange.h"

#include <algorithm>
#include <cstring>

#include "session/clock.h"
#include "session/trace_log.h"
#include "transport/port_io.h"

AttemptRecord RunAttempt(PacketBuffer& buffer, std::span<const uint8_t> expected, const ExchangeOptions& options,
                         bool send) {
    AttemptRecord attempt;
    buffer.ClearReceiveBuffer(static_cast<uint32_t>(expected.size()));
    if (options.beforeAttempt) options.beforeAttempt();
    if (send) {
        attempt.writeStatus = WritePort(buffer.frameBuffer, buffer.framedLength, &attempt.written);
        if (attempt.writeStatus != 0 && options.trace) TraceFormat(options.sendFailureText, attempt.writeStatus);
    }

    uint32_t received = kRequestedReadLength;
    attempt.readStatus = ReadPort(buffer.receiveBuffer, &received);
    received = std::min(received, buffer.capacity);
    attempt.received = received;
    buffer.NoteReceived(attempt.readStatus, received);
    if (options.afterRead) options.afterRead();
    if (attempt.readStatus != 0 && options.trace) {
        TraceLineWithBytes(FormatText(options.receiveFailureText, attempt.readStatus, static_cast<int>(received)),
                           buffer.receiveBuffer, received);
    }
    buffer.UnframeResponse(received);

    if (attempt.readStatus != 0 || received == 0) {
        attempt.result = AttemptResult::kTransportFailure;
        if (options.trace) {
            TraceFormat("Error code: Send %d ,Rev. %d Send byte %d receive %d:\n", attempt.writeStatus,
                        attempt.readStatus, static_cast<int>(attempt.written), static_cast<int>(received));
        }
        attempt.portGone = PortGoneForGood();
        return attempt;
    }
    // The comparison may look past what arrived: the bytes there are zero, as after a clear.
    if (expected.empty() || std::memcmp(buffer.receiveBuffer, expected.data(), expected.size()) == 0) {
        attempt.result = AttemptResult::kMatched;
        return attempt;
    }
    attempt.result = AttemptResult::kMismatch;
    if (options.trace) {
        std::string line = FormatText("Error code not match: Send %d ,Rev. %d Send byte %d receive %d:\n",
                                      attempt.writeStatus, 0, static_cast<int>(attempt.written),
                                      static_cast<int>(received));
        Trace().Append(line.data(), line.size());
        TraceLineWithBytes(line, buffer.receiveBuffer, received);
    }
    return attempt;
}

int RunAttempts(PacketBuffer& buffer, std::span<const uint8_t> expected, const ExchangeOptions& options) {
    int ownCount = 0;
    int& failures = options.failureCount ? *options.failureCount : ownCount;
    for (;;) {
        AttemptRecord attempt = RunAttempt(buffer, expected, options);
        if (attempt.result == AttemptResult::kMatched) return 1;
        if (attempt.portGone) return 0;  // no attempt can succeed: the step fails now
        ++failures;
        bool transportFailure = attempt.result == AttemptResult::kTransportFailure;
        if (transportFailure && options.pauseBeforeLimitTestMs) SleepMs(options.pauseBeforeLimitTestMs);
        if (failures > options.failureLimit) {
            if (options.trace) Trace().Append(kGiveUpText);
            return 0;
        }
        uint32_t pause = transportFailure ? options.pauseAfterTransportFailureMs : options.pauseAfterMismatchMs;
        if (pause) SleepMs(pause);
    }
}

int ExchangeCommand(PacketBuffer& buffer, std::span<const uint8_t> header, std::span<const uint8_t> expected,
                    const char* successLine, const ExchangeOptions& options) {
    buffer.ClearTransferBuffers(static_cast<uint32_t>(expected.size()));
    if (buffer.chunkCount != 0 && !buffer.BuildFrame(header.data(), static_cast<uint32_t>(header.size()), 0)) return 0;
    if (!RunAttempts(buffer, expected, options)) return 0;
    if (options.trace && successLine) {
        Trace().Append(successLine);
        Trace().Append(successLine);
    }
    return 1;
}

int TraceNoMemory() {
    Trace().Append(kNoMemoryText);
    return 0;
}
