// What the handset does with each request in download mode: first its boot loader (RAM
// writes and GO), then the flash programmer's streaming protocol (hello, security mode,
// partition table, open / stream write / close per image, reset). Pure logic: the caller
// moves the bytes and injects the faults.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "sim/handset_framing.h"
#include "tools/digest/sha256.h"

struct HandsetConfig {
    // The programmer that GO accepts (RAM must hold exactly it); unset: whatever arrived.
    std::optional<Bytes> expectedProgrammer;
    // The partition table the handset has; unset: the first table that arrives.
    std::optional<Bytes> storedTable;
    bool partitionStatus1 = false;  // status 1 until a table with override 1 arrives
    bool silentHello = false;       // hello never answered
};

// What one received image amounts to.
struct ImageRecord {
    uint64_t bytes = 0;
    Sha256 hash;
    // The handset's acknowledgement that the image is whole reached the host: its close
    // answered, or for a header that travels in its image's open, that open answered.
    bool closed = false;
};

enum class HandsetStage { kBootLoader, kProgrammer, kReset };

class HandsetModel {
public:
    explicit HandsetModel(HandsetConfig config);

    struct Outcome {
        bool answer = false;       // false: no reply at all (unknown or malformed request)
        Bytes reply;               // content of the reply frame
        bool repeated = false;     // the same request as the one just acknowledged, answered again
        bool startsProgrammer = false;  // GO accepted: the port goes away and comes back
        bool resets = false;            // reset acknowledged: the handset restarts
        bool streamWrite = false;       // a stream write that was acknowledged as stored
        // What the reply acknowledges as whole, once it reaches the host intact (Acknowledged).
        std::string completes;     // an image closed, or a header carried by an open
        bool acceptsTable = false; // the partition table taken
    };

    // The reply of `outcome` reached the host intact: what it acknowledges counts as such.
    void Acknowledged(const Outcome& outcome);

    // Handles one request (content without CRC). `wrongAddress`: a stream write is stored
    // but acknowledged with the previous chunk's address.
    Outcome Handle(const Bytes& request, bool wrongAddress = false);

    HandsetStage Stage() const { return stage_; }
    const Bytes& Ram() const { return ram_; }
    // The table last accepted, or else the last one received; and its override flag.
    const std::optional<Bytes>& PartitionTable() const { return partition_; }
    int PartitionOverride() const { return partitionOverride_; }
    // Whether a reply that took the table reached the host.
    bool PartitionAcknowledged() const { return partitionAcknowledged_; }
    // Received images by name (qcsbl_header, qcsbl, oemsbl_header, oemsbl, ...).
    const std::map<std::string, ImageRecord>& Images() const { return images_; }

    // Body name of an open multi-image type, or nullptr for an unknown type.
    static const char* ImageName(uint8_t type);
    // Name of the header carried by the open request of that type, or nullptr.
    static const char* HeaderName(uint8_t type);

private:
    Outcome BootLoaderRequest(const Bytes& request);
    Outcome ProgrammerRequest(const Bytes& request, bool wrongAddress);
    Outcome PartitionTable(const Bytes& request);
    Outcome OpenImage(const Bytes& request);
    Outcome StreamWrite(const Bytes& request, bool wrongAddress);

    HandsetConfig config_;
    HandsetStage stage_ = HandsetStage::kBootLoader;
    Bytes ram_;
    std::optional<uint32_t> lastPacketAddress_;
    Bytes lastPacketData_;

    std::optional<Bytes> partition_;
    bool partitionAccepted_ = false;
    int partitionOverride_ = 0;
    bool partitionAcknowledged_ = false;
    bool overrideSeen_ = false;

    std::optional<std::string> openImage_;
    std::string lastClosed_;
    std::map<std::string, ImageRecord> images_;
    std::optional<uint32_t> lastWriteAddress_;
    Bytes lastWriteData_;
};
