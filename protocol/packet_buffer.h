// One command's payload with its two transfer buffers: the frame last built and the
// reply last received. A command creates it, fills the payload, frames each chunk,
// exchanges it, and releases it when it returns.
#pragma once

#include <cstdint>
#include <memory>

// How the payload came to be, so that a transfer step can tell an empty slot from an
// image that could not be read in full.
enum class ImageLoad {
    kNotFromPackage,  // filled by its command (programmer, or no payload at all)
    kLoaded,          // the slot's whole image was read
    kEmptySlot,       // the directory gives the slot no data
    kFailed,          // the image could not be read in full (truncated, altered, unreadable)
};

// Frees what calloc gave.
struct FreeDeleter {
    void operator()(uint8_t* block) const;
};
using ZeroedBlock = std::unique_ptr<uint8_t[], FreeDeleter>;

struct PacketBuffer {
    static constexpr uint32_t kCapacity = 10485760;  // 0xA00000: each transfer buffer

    explicit PacketBuffer(uint32_t chunkSize);
    PacketBuffer(const PacketBuffer&) = delete;
    PacketBuffer& operator=(const PacketBuffer&) = delete;

    // totalLength = length; chunkCount = length / chunkSize rounded up.
    void SetPayloadLength(uint32_t length);
    // Makes room for a payload of the given size (contents undefined until filled).
    void AllocatePayload(uint32_t bytes);

    // Frames chunk `chunkIndex` behind the header into frameBuffer and sets framedLength.
    void BuildFrame(const uint8_t* header, uint32_t headerLength, uint32_t chunkIndex);
    // Unframes the `received` bytes of receiveBuffer in place: the reply's content starts at 0.
    void UnframeResponse(uint32_t received);

    // Clears the two transfer buffers before a frame is built. Only what a reader can
    // observe is cleared: a frame is only ever read up to framedLength, and receiveBuffer
    // is zeroed up to the furthest byte that a read may have written since it was last
    // clear, which leaves it exactly as clearing all of it would.
    void ClearTransferBuffers();
    // Clears receiveBuffer before a read (same rule).
    void ClearReceiveBuffer();
    // Records what a read may have written: `received` bytes after a successful read, and
    // anything up to the capacity after a failed one.
    void NoteReceived(int readStatus, uint32_t received);

    uint32_t chunkSize;
    uint32_t chunkCount = 1;
    uint32_t totalLength;
    uint32_t framedLength = 0;
    uint32_t capacity = kCapacity;
    std::unique_ptr<uint8_t[]> payload;
    uint32_t payloadCapacity = 0;
    ZeroedBlock frameBuffer;
    ZeroedBlock receiveBuffer;
    uint32_t receiveDirty = 0;  // receiveBuffer beyond this many bytes is known to be zero
    ImageLoad imageLoad = ImageLoad::kNotFromPackage;
};
