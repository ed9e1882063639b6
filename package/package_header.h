// The package header block that follows the marker: the fixed header (16 bytes) and the
// directory of twelve 13-byte entries, 172 bytes in all. Integers are little-endian and
// unaligned. Offsets in the directory count from the byte after the marker.
//
//   block  0      fixed header length (16)     block  1..4  total header length (172)
//   block  5      reserved                     block  6     package check byte (14)
//   block  7      image family code            block  8..11 image identification word
//   block 12..15  reserved                     block 16..   entry k at 16 + 13k:
//                 presence (1 = present), id, data offset, data size
#pragma once

#include <array>
#include <cstdint>

#include "package/image_slots.h"

class PackageFile;

constexpr uint32_t kFixedHeaderLength = 16;
constexpr uint32_t kDirectoryEntryLength = 13;
constexpr uint32_t kHeaderBlockLength = kFixedHeaderLength + kSlotCount * kDirectoryEntryLength;  // 172
constexpr uint8_t kPackageCheckByte = 14;

using HeaderBlock = std::array<uint8_t, kHeaderBlockLength>;

// One directory record, each field widened to 32 bits.
struct DirectoryEntry {
    uint32_t presence = 0;  // 1: the image is in the package; anything else: absent
    uint32_t id = 0;        // slot + 1 in packages we build; not examined
    uint32_t offset = 0;    // first byte, counted from the byte after the marker
    uint32_t size = 0;      // length in bytes
};

using PackageDirectory = std::array<DirectoryEntry, kSlotCount>;

struct PackageHeader {
    uint8_t fixedHeaderLength = kFixedHeaderLength;
    uint32_t totalHeaderLength = kHeaderBlockLength;
    uint8_t checkByte = kPackageCheckByte;
    uint8_t familyCode = 0;
    uint32_t identificationWord = 0;
    PackageDirectory directory{};
};

PackageHeader DecodePackageHeader(const HeaderBlock& block);
HeaderBlock EncodePackageHeader(const PackageHeader& header);

// The directory of the current run, filled by DecodePackageDirectory at the run-start
// check and read by that run's image loads, all on the worker thread.
extern PackageDirectory packageDirectory;

// Fills packageDirectory from the block and stores the identification word process-wide.
void DecodePackageDirectory(const HeaderBlock& block);

enum class HeaderRead {
    kRead,        // the block after the marker was read in full
    kNotFound,    // no file of that name (found by a directory search before any open)
    kCannotOpen,  // the file is there but cannot be opened for reading
    kNoPackage,   // no marker before the end of the file, or fewer than 172 bytes after it;
                  // the block is all zeros: check byte 0, every slot absent
};

// Scans the file for the marker and reads the header block that follows it.
HeaderRead ReadPackageHeader(const char* path, HeaderBlock& header);

// Scans an open file from its start for the first marker, reading through a buffer.
// True with base = the position just after the marker; false at end of file without one.
bool LocatePackage(PackageFile& file, uint64_t& base);
