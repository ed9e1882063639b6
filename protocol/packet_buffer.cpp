#include "protocol/packet_buffer.h"

#include <algorithm>
#include <cstdlib>
#include <new>

TransferBuffers* SharedTransferBuffers() {
    // Never freed: the worker may still hold them while the process ends.
    static TransferBuffers buffers;
    if (!buffers.frame) buffers.frame = static_cast<uint8_t*>(std::calloc(PacketBuffer::kCapacity, 1));
    if (!buffers.receive) buffers.receive = static_cast<uint8_t*>(std::calloc(PacketBuffer::kCapacity, 1));
    return buffers.frame && buffers.receive ? &buffers : nullptr;
}

PacketBuffer::PacketBuffer(uint32_t size, InitialPayload initial)
    : chunkSize(size), totalLength(size), transfer_(SharedTransferBuffers()) {
    if (!transfer_) return;
    frameBuffer = transfer_->frame;
    receiveBuffer = transfer_->receive;
    if (initial == InitialPayload::kNone || size == 0) {
        ready_ = true;
        return;
    }
    uint8_t* block = AllocatePayload(size);
    if (!block) return;
    std::fill_n(block, size, uint8_t{0});
    ready_ = true;
}

void PacketBuffer::SetPayloadLength(uint32_t length) {
    totalLength = length;
    chunkCount = chunkSize == 0 ? 0 : length / chunkSize + (length % chunkSize != 0 ? 1 : 0);
}

uint8_t* PacketBuffer::AllocatePayload(uint32_t bytes) {
    ReleasePayload();
    if (bytes == 0) return nullptr;
    // Not cleared: the caller fills it at once.
    ownedPayload_.reset(new (std::nothrow) uint8_t[bytes]);
    if (!ownedPayload_) return nullptr;
    payload = ownedPayload_.get();
    payloadCapacity = bytes;
    return ownedPayload_.get();
}

void PacketBuffer::UsePayloadSource(std::unique_ptr<PayloadSource> source, uint32_t size) {
    ReleasePayload();
    payloadSource_ = std::move(source);
    payloadCapacity = payloadSource_ ? size : 0;
}

uint32_t PacketBuffer::ChunkLength(uint32_t chunkIndex) const {
    if (chunkIndex >= chunkCount) return 0;
    return chunkIndex + 1 == chunkCount ? totalLength - chunkIndex * chunkSize : chunkSize;
}

const uint8_t* PacketBuffer::PayloadBytes(uint64_t offset, uint32_t length) {
    if (offset > payloadCapacity || length > payloadCapacity - offset) return nullptr;
    if (payload) return payload + offset;
    return payloadSource_ ? payloadSource_->Read(offset, length) : nullptr;
}

void PacketBuffer::ReleasePayload() {
    payload = nullptr;
    payloadCapacity = 0;
    ownedPayload_.reset();
    payloadSource_.reset();
}

void PacketBuffer::ClearTransferBuffers(uint32_t expectedLength) { ClearReceiveBuffer(expectedLength); }

void PacketBuffer::ClearReceiveBuffer(uint32_t expectedLength) {
    if (!transfer_) return;
    const uint32_t reach = std::min(std::max(transfer_->receiveDirty, expectedLength), capacity);
    std::fill_n(receiveBuffer, reach, uint8_t{0});
    transfer_->receiveDirty = 0;
}

void PacketBuffer::NoteReceived(int readStatus, uint32_t received) {
    if (!transfer_) return;
    const uint32_t reach = readStatus == 0 ? std::min(received, capacity) : capacity;
    transfer_->receiveDirty = std::max(transfer_->receiveDirty, reach);
}
