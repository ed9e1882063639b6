// The codes of the handset's two download protocols, as the host and the simulated handset
// both speak them. The first byte of a request is its command, the first byte of a reply
// its reply code; multi-byte fields are big-endian in the boot loader's protocol and
// little-endian in the streaming protocol.
#pragma once

#include <cstdint>

// The chipset's boot loader (DMSS download): the flash programmer goes into RAM, GO starts it.
namespace dmss {
constexpr uint8_t kWrite32 = 0x0F;  // write, 32-bit address: address (4), length (2), data
constexpr uint8_t kAck = 0x02;
constexpr uint8_t kNak = 0x03;      // followed by 0x00 and a reason
constexpr uint8_t kGo = 0x05;       // start address (4)

// Reasons of a refusal.
constexpr uint8_t kNakInvalidAddress = 0x02;
constexpr uint8_t kNakProtocol = 0x0C;

// Where the flash programmer goes, and where GO starts it.
constexpr uint32_t kProgrammerLoadAddress = 0x00A00000;
}  // namespace dmss

// The flash programmer's streaming download protocol.
namespace streaming {
constexpr uint8_t kHello = 0x01;
constexpr uint8_t kHelloReply = 0x02;
constexpr uint8_t kStreamWrite = 0x07;       // address (4), then one chunk of the image
constexpr uint8_t kStreamWriteReply = 0x08;  // the same address
constexpr uint8_t kReset = 0x0B;
constexpr uint8_t kResetReply = 0x0C;
constexpr uint8_t kError = 0x0D;             // code (4), then a text
constexpr uint8_t kClose = 0x15;
constexpr uint8_t kCloseReply = 0x16;
constexpr uint8_t kSecurityMode = 0x17;      // mode (1)
constexpr uint8_t kSecurityModeReply = 0x18;
constexpr uint8_t kPartitionTable = 0x19;    // override flag (1), then the table
constexpr uint8_t kPartitionTableReply = 0x1A;
constexpr uint8_t kOpenMultiImage = 0x1B;    // image type (1), then the header image, if any
constexpr uint8_t kOpenMultiImageReply = 0x1C;

// Hello: the host's name (32 characters, no terminator) and its versions.
constexpr char kHostName[] = "QCOM fast download protocol host";
constexpr char kTargetName[] = "QCOM fast download protocol targ";
constexpr uint8_t kProtocolVersion = 0x03;
constexpr uint8_t kLowestCompatibleVersion = 0x02;
constexpr uint8_t kFeatureBits = 0x01;

constexpr uint8_t kSecurityModeTrusted = 0x01;

// Status byte of the partition table reply.
constexpr uint8_t kPartitionAccepted = 0x00;
constexpr uint8_t kPartitionNeedsOverride = 0x01;

// Status byte of the open reply.
constexpr uint8_t kOpenAccepted = 0x00;
constexpr uint8_t kOpenRefused = 0x01;

// Image types of the open request.
constexpr uint8_t kImageQcsblHeader = 0x02;
constexpr uint8_t kImageQcsbl = 0x03;
constexpr uint8_t kImageOemsbl = 0x04;
constexpr uint8_t kImageAmss = 0x05;
constexpr uint8_t kImageCefs = 0x09;
constexpr uint8_t kImageAppsboot = 0x0A;
constexpr uint8_t kImageFlashBin = 0x0C;
}  // namespace streaming
