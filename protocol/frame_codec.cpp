// Framing of one chunk and unframing of one reply, each in a single pass over the data.
#include <algorithm>
#include <cstring>

#include "protocol/crc16.h"
#include "protocol/frame_escape.h"
#include "protocol/packet_buffer.h"

bool PacketBuffer::BuildFrame(const uint8_t* header, uint32_t headerLength, uint32_t chunkIndex) {
    const uint64_t offset = static_cast<uint64_t>(chunkIndex) * chunkSize;
    // Never read past the payload, and never write past the frame buffer (every body byte
    // may double): only a misused buffer reaches either limit.
    uint64_t chunkLength = ChunkLength(chunkIndex);
    const uint64_t available = offset < payloadCapacity ? payloadCapacity - offset : 0;
    chunkLength = std::min(chunkLength, available);
    const uint64_t maxContent = (capacity - 2) / 2 - 2;
    const uint64_t roomForChunk = headerLength < maxContent ? maxContent - headerLength : 0;
    chunkLength = std::min(chunkLength, roomForChunk);
    const uint8_t* chunk = chunkLength ? PayloadBytes(offset, static_cast<uint32_t>(chunkLength)) : nullptr;
    if (chunkLength && !chunk) {
        framedLength = 0;
        return false;
    }

    uint16_t crc = Crc16Update(kCrc16Preset, header, headerLength);
    if (chunkLength) crc = Crc16Update(crc, chunk, static_cast<std::size_t>(chunkLength));
    crc = static_cast<uint16_t>(~crc);
    const uint8_t crcBytes[2] = {static_cast<uint8_t>(crc & 0xFF), static_cast<uint8_t>(crc >> 8)};

    uint8_t* frame = frameBuffer;
    uint8_t* out = EscapeInto(frame + 1, header, headerLength);
    if (chunkLength) out = EscapeInto(out, chunk, static_cast<std::size_t>(chunkLength));
    out = EscapeInto(out, crcBytes, sizeof crcBytes);
    frame[0] = kFrameFlag;
    *out++ = kFrameFlag;
    framedLength = static_cast<uint32_t>(out - frame);
    return true;
}

void PacketBuffer::UnframeResponse(uint32_t received) {
    if (received == 0) return;
    uint32_t n = std::min(received, capacity);
    uint8_t* reply = receiveBuffer;
    // Both flags become 0; the content, unescaped, moves to position 0, followed by its CRC
    // and the zeros that the removed escapes and the flags leave behind.
    reply[0] = 0;
    reply[n - 1] = 0;
    uint32_t pairs = 0;
    uint8_t* end = UnescapeInto(reply, reply + 1, n - 1, &pairs);
    std::memset(end, 0, static_cast<std::size_t>(reply + n - end));
}
