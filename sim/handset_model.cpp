#include "sim/handset_model.h"

#include <algorithm>
#include <cstring>

#include "protocol/download_codes.h"

using namespace streaming;

namespace {

using dmss::kNakInvalidAddress;
using dmss::kNakProtocol;
constexpr std::size_t kMagicLength = sizeof kHostName - 1;

uint32_t BigEndian(const Bytes& bytes, std::size_t at, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | bytes[at + i];
    return value;
}

uint32_t LittleEndian32(const Bytes& bytes, std::size_t at) {
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
           static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

void PutLittleEndian(Bytes& bytes, uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void AppendText(Bytes& bytes, const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) bytes.push_back(static_cast<uint8_t>(text[i]));
}

HandsetModel::Outcome Reply(Bytes content) {
    HandsetModel::Outcome outcome;
    outcome.answer = true;
    outcome.reply = std::move(content);
    return outcome;
}

HandsetModel::Outcome Nak(uint8_t reason) { return Reply({dmss::kNak, 0x00, reason}); }

HandsetModel::Outcome Silence() { return {}; }

HandsetModel::Outcome Error(uint32_t code, const char* text) {
    Bytes content = {kError};
    PutLittleEndian(content, code, 4);
    AppendText(content, text, std::strlen(text));
    return Reply(std::move(content));
}

bool Equal(const Bytes& bytes, std::size_t at, const Bytes& other) {
    return bytes.size() - at == other.size() && std::equal(other.begin(), other.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace

HandsetModel::HandsetModel(HandsetConfig config) : config_(std::move(config)) {}

const char* HandsetModel::ImageName(uint8_t type) {
    switch (type) {
    case kImageQcsblHeader: return "qcsbl_header";
    case kImageQcsbl: return "qcsbl";
    case kImageOemsbl: return "oemsbl";
    case kImageAmss: return "amss";
    case kImageAppsboot: return "appsboot";
    case kImageFlashBin: return "flash_bin";
    case kImageCefs: return "cefs";
    default: return nullptr;
    }
}

const char* HandsetModel::HeaderName(uint8_t type) {
    switch (type) {
    case kImageOemsbl: return "oemsbl_header";
    case kImageAmss: return "amss_header";
    case kImageAppsboot: return "appsboot_header";
    default: return nullptr;
    }
}

HandsetModel::Outcome HandsetModel::Handle(const Bytes& request, bool wrongAddress) {
    if (request.empty()) return Silence();
    switch (stage_) {
    case HandsetStage::kBootLoader: return BootLoaderRequest(request);
    case HandsetStage::kProgrammer: return ProgrammerRequest(request, wrongAddress);
    case HandsetStage::kReset: return Silence();
    }
    return Silence();
}

HandsetModel::Outcome HandsetModel::BootLoaderRequest(const Bytes& request) {
    if (request[0] == dmss::kWrite32) {
        if (request.size() < 7) return Silence();
        const uint32_t address = BigEndian(request, 1, 4);
        const uint32_t length = BigEndian(request, 5, 2);
        if (request.size() - 7 != length) return Silence();
        const uint32_t expected = dmss::kProgrammerLoadAddress + static_cast<uint32_t>(ram_.size());
        if (address == expected) {
            ram_.insert(ram_.end(), request.begin() + 7, request.end());
            lastPacketAddress_ = address;
            lastPacketData_.assign(request.begin() + 7, request.end());
            return Reply({dmss::kAck});
        }
        if (lastPacketAddress_ == address && Equal(request, 7, lastPacketData_)) {
            Outcome outcome = Reply({dmss::kAck});
            outcome.repeated = true;
            return outcome;
        }
        return Nak(kNakInvalidAddress);
    }
    if (request[0] == dmss::kGo) {
        if (request.size() != 5) return Silence();
        if (BigEndian(request, 1, 4) != dmss::kProgrammerLoadAddress) return Nak(kNakInvalidAddress);
        if (config_.expectedProgrammer && ram_ != *config_.expectedProgrammer) return Nak(kNakProtocol);
        stage_ = HandsetStage::kProgrammer;
        Outcome outcome = Reply({dmss::kAck});
        outcome.startsProgrammer = true;
        return outcome;
    }
    return Silence();
}

HandsetModel::Outcome HandsetModel::ProgrammerRequest(const Bytes& request, bool wrongAddress) {
    switch (request[0]) {
    case kHello: {
        if (request.size() < 1 + kMagicLength + 3 || std::memcmp(request.data() + 1, kHostName, kMagicLength) != 0)
            return Silence();
        if (config_.silentHello) return Silence();
        Bytes reply;
        reply.reserve(80);
        reply.push_back(kHelloReply);
        AppendText(reply, kTargetName, kMagicLength);
        reply.push_back(kProtocolVersion);
        reply.push_back(kLowestCompatibleVersion);
        PutLittleEndian(reply, 0x000C3000, 4);    // largest block
        PutLittleEndian(reply, 0x00000000, 4);    // flash base address
        const char flashName[] = "SIMULATED NAND";
        reply.push_back(static_cast<uint8_t>(sizeof flashName - 1));
        AppendText(reply, flashName, sizeof flashName - 1);
        PutLittleEndian(reply, 1, 2);             // window size
        PutLittleEndian(reply, 0, 2);             // sectors
        reply.push_back(kFeatureBits);
        return Reply(std::move(reply));
    }
    case kSecurityMode:
        if (request.size() != 2) return Silence();
        return Reply({kSecurityModeReply});
    case kPartitionTable: return PartitionTable(request);
    case kOpenMultiImage: return OpenImage(request);
    case kStreamWrite: return StreamWrite(request, wrongAddress);
    case kClose:
        if (request.size() != 1) return Silence();
        {
            Outcome outcome = Reply({kCloseReply});
            // A close again with nothing open repeats the one whose reply went astray.
            if (openImage_) lastClosed_ = *openImage_;
            outcome.completes = lastClosed_;
            openImage_.reset();
            lastWriteAddress_.reset();
            lastWriteData_.clear();
            return outcome;
        }
    case kReset:
        if (request.size() != 1) return Silence();
        stage_ = HandsetStage::kReset;
        {
            Outcome outcome = Reply({kResetReply});
            outcome.resets = true;
            return outcome;
        }
    default: return Silence();
    }
}

HandsetModel::Outcome HandsetModel::PartitionTable(const Bytes& request) {
    if (request.size() < 2) return Silence();
    const int overrideFlag = request[1] == 1 ? 1 : 0;
    Bytes table(request.begin() + 2, request.end());
    if (overrideFlag) overrideSeen_ = true;
    uint8_t status;
    if (config_.partitionStatus1 && !overrideSeen_) {
        status = kPartitionNeedsOverride;
    } else {
        if (!config_.storedTable) config_.storedTable = table;  // the first table becomes the handset's
        status = (table == *config_.storedTable || overrideFlag) ? kPartitionAccepted : kPartitionNeedsOverride;
    }
    if (status == kPartitionAccepted || !partitionAccepted_) {
        partition_ = std::move(table);
        partitionOverride_ = overrideFlag;
        partitionAccepted_ = partitionAccepted_ || status == kPartitionAccepted;
    }
    Outcome outcome = Reply({kPartitionTableReply, status});
    outcome.acceptsTable = status == kPartitionAccepted;
    return outcome;
}

void HandsetModel::Acknowledged(const Outcome& outcome) {
    if (outcome.acceptsTable) partitionAcknowledged_ = true;
    if (outcome.completes.empty()) return;
    auto image = images_.find(outcome.completes);
    if (image != images_.end()) image->second.closed = true;
}

HandsetModel::Outcome HandsetModel::OpenImage(const Bytes& request) {
    if (request.size() < 2) return Silence();
    const uint8_t type = request[1];
    const char* name = ImageName(type);
    if (!name) return Reply({kOpenMultiImageReply, kOpenRefused});
    openImage_ = name;
    lastClosed_.clear();
    images_[name] = ImageRecord{};  // opened again: written again from the start
    lastWriteAddress_.reset();
    lastWriteData_.clear();
    Outcome outcome = Reply({kOpenMultiImageReply, kOpenAccepted});
    if (const char* header = HeaderName(type)) {
        ImageRecord record;
        record.bytes = request.size() - 2;
        record.hash.Update(request.data() + 2, request.size() - 2);
        images_[header] = record;
        outcome.completes = header;
    }
    return outcome;
}

HandsetModel::Outcome HandsetModel::StreamWrite(const Bytes& request, bool wrongAddress) {
    if (request.size() < 5) return Silence();
    if (!openImage_) return Error(0x0E, "No image open");
    const uint32_t address = LittleEndian32(request, 1);
    const std::size_t length = request.size() - 5;
    ImageRecord& image = images_[*openImage_];
    const auto expected = static_cast<uint32_t>(image.bytes);
    Bytes reply = {kStreamWriteReply};
    Outcome outcome;
    if (address == expected) {
        image.bytes += length;
        image.hash.Update(request.data() + 5, length);
        lastWriteAddress_ = address;
        lastWriteData_.assign(request.begin() + 5, request.end());
        PutLittleEndian(reply, wrongAddress ? address - static_cast<uint32_t>(length) : address, 4);
        outcome = Reply(std::move(reply));
        outcome.streamWrite = !wrongAddress;
        return outcome;
    }
    if (lastWriteAddress_ == address && Equal(request, 5, lastWriteData_)) {
        PutLittleEndian(reply, address, 4);
        outcome = Reply(std::move(reply));
        outcome.repeated = true;
        outcome.streamWrite = true;
        return outcome;
    }
    PutLittleEndian(reply, expected, 4);  // the address it waits for: the host sees the mismatch
    return Reply(std::move(reply));
}
