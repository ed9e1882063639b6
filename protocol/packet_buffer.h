// One command's payload with the run's two transfer buffers: the frame last built and the
// reply last received. A command creates it, fills the payload, frames each chunk,
// exchanges it, and releases it when it returns.
#pragma once

#include <cstdint>
#include <memory>

// How the payload came to be, so that a transfer step can tell an empty slot from an
// image that could not be read in full.
enum class ImageLoad {
    kNotFromPackage,  // filled by its command (programmer, or no payload at all)
    kLoaded,          // the slot's whole image can be had (read, or read chunk by chunk from its source)
    kEmptySlot,       // the directory gives the slot no data
    kFailed,          // the image could not be read in full (truncated, altered, unreadable)
};

// A payload that is not held in memory (an image in the package file): its bytes are read
// a chunk at a time, as each chunk is framed, into a buffer the source keeps.
struct PayloadSource {
    virtual ~PayloadSource() = default;
    // The `length` bytes at `offset` of the payload, valid until the next read of any
    // source; null when they cannot be read in full.
    virtual const uint8_t* Read(uint64_t offset, uint32_t length) = 0;
};

// The two 10 MiB transfer buffers, taken once for the whole process: every command
// frames into the same frame buffer and reads into the same receive buffer, one command
// at a time on the download worker. Fresh memory for each command would cost a page
// fault and a page of zeros for every 4 KiB a frame touches.
struct TransferBuffers {
    uint8_t* frame = nullptr;
    uint8_t* receive = nullptr;
    uint32_t receiveDirty = 0;  // receive beyond this many bytes is known to be zero
};

// The process's pair, allocated zero-filled on first use; null when the memory cannot be had.
TransferBuffers* SharedTransferBuffers();

struct PacketBuffer {
    static constexpr uint32_t kCapacity = 10485760;  // 0xA00000: each transfer buffer

    // Whether the buffer starts with a zero-filled payload of chunkSize bytes, or with none
    // (an image load, which brings its own at once).
    enum class InitialPayload { kZeroFilled, kNone };

    // Takes the shared transfer buffers and the initial payload. Never throws: when memory
    // cannot be had, Ready() is false and the command must give up.
    explicit PacketBuffer(uint32_t chunkSize, InitialPayload initial = InitialPayload::kZeroFilled);
    PacketBuffer(const PacketBuffer&) = delete;
    PacketBuffer& operator=(const PacketBuffer&) = delete;

    bool Ready() const { return ready_; }

    // totalLength = length; chunkCount = length / chunkSize rounded up.
    void SetPayloadLength(uint32_t length);
    // Makes room for a payload of the given size, owned by the buffer (contents undefined
    // until filled). Returns where to fill it, or null when the memory cannot be had.
    uint8_t* AllocatePayload(uint32_t bytes);
    // Takes a payload of `size` bytes that is read from its source chunk by chunk.
    void UsePayloadSource(std::unique_ptr<PayloadSource> source, uint32_t size);
    void ReleasePayload();

    // The length of chunk `chunkIndex` (the last one may be short; 0 beyond the last).
    uint32_t ChunkLength(uint32_t chunkIndex) const;
    // The `length` bytes at `offset` of the payload: in memory, or read from its source
    // (valid until the next read). Null when the payload does not reach that far or the
    // source cannot read them.
    const uint8_t* PayloadBytes(uint64_t offset, uint32_t length);

    // Frames chunk `chunkIndex` behind the header into frameBuffer and sets framedLength.
    // False, with nothing framed, only when the chunk's bytes cannot be read from the
    // payload's source.
    bool BuildFrame(const uint8_t* header, uint32_t headerLength, uint32_t chunkIndex);
    // Unframes the `received` bytes of receiveBuffer in place: the reply's content starts at 0.
    void UnframeResponse(uint32_t received);

    // Before a frame is built: only what a reader can observe is cleared. A frame is only
    // ever read up to framedLength, so the frame buffer needs nothing; the receive buffer
    // is cleared as before a read.
    void ClearTransferBuffers(uint32_t expectedLength = 0);
    // Before a read: receiveBuffer is zeroed up to the furthest byte that a read may have
    // written since it was last clear, and at least over the expected reply prefix, so a
    // short reply is never compared with stale bytes.
    void ClearReceiveBuffer(uint32_t expectedLength = 0);
    // Records what a read may have written: `received` bytes after a successful read, and
    // anything up to the capacity after a failed one.
    void NoteReceived(int readStatus, uint32_t received);

    uint32_t chunkSize;
    uint32_t chunkCount = 1;
    uint32_t totalLength;
    uint32_t framedLength = 0;
    uint32_t capacity = kCapacity;
    const uint8_t* payload = nullptr;  // totalLength bytes held in memory (payloadCapacity available); null for a source
    uint32_t payloadCapacity = 0;      // bytes available, in memory or from the source
    uint8_t* frameBuffer = nullptr;    // the shared pair
    uint8_t* receiveBuffer = nullptr;
    ImageLoad imageLoad = ImageLoad::kNotFromPackage;

private:
    TransferBuffers* transfer_;
    bool ready_ = false;
    std::unique_ptr<uint8_t[]> ownedPayload_;
    std::unique_ptr<PayloadSource> payloadSource_;
};
