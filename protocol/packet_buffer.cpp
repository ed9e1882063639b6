#include "protocol/packet_buffer.h"

#include <algorithm>
#include <cstdlib>
#include <new>

PacketBuffer::PacketBuffer(uint32_t size)
    : chunkSize(size),
      totalLength(size),
      // Zero-filled, as every command expects of fresh buffers. calloc hands out fresh zero
      // pages, so a command pays only for the part of the 10 MiB that its frames touch.
      frameBuffer(ZeroedBlock(static_cast<uint8_t*>(std::calloc(kCapacity, 1)))),
      receiveBuffer(ZeroedBlock(static_cast<uint8_t*>(std::calloc(kCapacity, 1)))) {
    if (!frameBuffer || !receiveBuffer) throw std::bad_alloc();
    AllocatePayload(size);
    std::fill_n(payload.get(), size, uint8_t{0});
}

void FreeDeleter::operator()(uint8_t* block) const { std::free(block); }

void PacketBuffer::SetPayloadLength(uint32_t length) {
    totalLength = length;
    chunkCount = chunkSize == 0 ? 0 : length / chunkSize + (length % chunkSize != 0 ? 1 : 0);
}

void PacketBuffer::AllocatePayload(uint32_t bytes) {
    // Not cleared: the caller fills it at once (an image load reads 100 MB straight into it).
    payload.reset(bytes ? new uint8_t[bytes] : nullptr);
    payloadCapacity = bytes;
}

void PacketBuffer::ClearTransferBuffers() { ClearReceiveBuffer(); }

void PacketBuffer::ClearReceiveBuffer() {
    std::fill_n(receiveBuffer.get(), receiveDirty, uint8_t{0});
    receiveDirty = 0;
}

void PacketBuffer::NoteReceived(int readStatus, uint32_t received) {
    uint32_t reach = readStatus == 0 ? std::min(received, capacity) : capacity;
    receiveDirty = std::max(receiveDirty, reach);
}
