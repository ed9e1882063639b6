#include "protocol/chunk_transfer.h"

#include "session/clock.h"
#include "session/session_state.h"
#include "session/trace_log.h"

namespace {

// The rate counts the constant chunk size for the last chunk too; a clock that has not
// moved on (or went back) counts as one second.
void TraceRate(const PacketBuffer& buffer, uint32_t chunk, int64_t startTime) {
    int64_t elapsed = NowSeconds() - startTime;
    if (elapsed <= 0) elapsed = 1;
    const long long rate = static_cast<long long>(chunk + 1) * buffer.chunkSize / elapsed;
    TraceFormat("total packet%d ,  sended %d th , packet size  %d rate %lld\n", static_cast<int>(buffer.chunkCount),
                static_cast<int>(chunk), static_cast<int>(buffer.chunkSize), rate);
}

}  // namespace

int SendChunks(PacketBuffer& buffer, ChunkTransfer transfer) {
    SessionState* progress = transfer.progress;
    if (progress) {  // the byte figures were reset when the stage began
        progress->totalBytes = buffer.totalLength;
        progress->totalCount = buffer.chunkCount;
        progress->doneCount = 0;
        progress->transferDone = 0;
    }
    int failures = 0;  // one budget for the whole payload
    transfer.options.failureCount = &failures;
    for (uint32_t chunk = 0; chunk < buffer.chunkCount; ++chunk) {
        transfer.fill(chunk, buffer.ChunkLength(chunk), transfer.header, transfer.expected);
        buffer.ClearTransferBuffers();
        // An image that can no longer be read fails its transfer rather than send a frame short.
        if (!buffer.BuildFrame(transfer.header.data(), static_cast<uint32_t>(transfer.header.size()), chunk)) return 0;
        if (!RunAttempts(buffer, transfer.expected, transfer.options)) return 0;
        TraceRate(buffer, chunk, transfer.startTime);
        if (progress) {
            progress->doneBytes += buffer.ChunkLength(chunk);
            progress->doneCount = chunk + 1;
        }
    }
    if (progress) progress->transferDone = 1;
    return 1;
}
