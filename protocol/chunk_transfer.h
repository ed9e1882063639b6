// The one loop that sends a payload chunk by chunk, each chunk behind its own request
// header and acknowledged before the next: the flash programmer's write packets and the
// stream writes of an image. One failure budget covers the whole payload; each chunk
// acknowledged adds a rate line to the trace and moves the progress bar on.
#pragma once

#include <cstdint>
#include <span>

#include "protocol/command_exchange.h"
#include "protocol/packet_buffer.h"

struct SessionState;

// Fills the request header and the expected reply prefix of one chunk (both keep their
// sizes for every chunk); `chunkLength` is the chunk's own length (the last one may be short).
using ChunkRequestFiller = void (*)(uint32_t chunk, uint32_t chunkLength, std::span<uint8_t> header,
                                    std::span<uint8_t> expected);

struct ChunkTransfer {
    std::span<uint8_t> header;
    std::span<uint8_t> expected;
    ChunkRequestFiller fill = nullptr;
    // Attempts' pauses and trace texts; its failure count is replaced by the transfer's own.
    ExchangeOptions options{};
    // The record whose totalCount, doneCount and transferDone follow the transfer; null
    // leaves them alone.
    SessionState* progress = nullptr;
    // When the transfer began (calendar seconds): the rate lines count from it.
    int64_t startTime = 0;
};

// Sends chunks 0 .. chunkCount-1 of the buffer's payload. 1 when every chunk was
// acknowledged (also when there are none: nothing to send), 0 when the failures of the
// whole payload went beyond the limit ("Can't Send or Received\n" traced) or a chunk
// could not be read from the payload's source (nothing traced: the step's failure follows).
int SendChunks(PacketBuffer& buffer, ChunkTransfer transfer);
