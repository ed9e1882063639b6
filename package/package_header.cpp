#include "package/package_header.h"

#include <memory>

#include "package/package_file.h"
#include "package/package_marker.h"
#include "session/process_values.h"

PackageDirectory packageDirectory{};

namespace {
uint32_t ReadLittle32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void WriteLittle32(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

constexpr std::size_t kScanBufferLength = 64 * 1024;
}  // namespace

PackageHeader DecodePackageHeader(const HeaderBlock& block) {
    PackageHeader header;
    header.fixedHeaderLength = block[0];
    header.totalHeaderLength = ReadLittle32(&block[1]);
    header.checkByte = block[6];
    header.familyCode = block[7];
    header.identificationWord = ReadLittle32(&block[8]);
    for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
        const uint8_t* entry = &block[kFixedHeaderLength + slot * kDirectoryEntryLength];
        header.directory[slot] = {entry[0], ReadLittle32(entry + 1), ReadLittle32(entry + 5), ReadLittle32(entry + 9)};
    }
    return header;
}

HeaderBlock EncodePackageHeader(const PackageHeader& header) {
    HeaderBlock block{};
    block[0] = header.fixedHeaderLength;
    WriteLittle32(&block[1], header.totalHeaderLength);
    block[6] = header.checkByte;
    block[7] = header.familyCode;
    WriteLittle32(&block[8], header.identificationWord);
    for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
        uint8_t* entry = &block[kFixedHeaderLength + slot * kDirectoryEntryLength];
        const DirectoryEntry& record = header.directory[slot];
        entry[0] = static_cast<uint8_t>(record.presence);
        WriteLittle32(entry + 1, record.id);
        WriteLittle32(entry + 5, record.offset);
        WriteLittle32(entry + 9, record.size);
    }
    return block;
}

void DecodePackageDirectory(const HeaderBlock& block) {
    const PackageHeader header = DecodePackageHeader(block);
    packageDirectory = header.directory;
    imageIdentificationWord.store(header.identificationWord);
}

bool LocatePackage(PackageFile& file, uint64_t& base) {
    if (!file.Seek(0)) return false;
    const auto buffer = std::make_unique<uint8_t[]>(kScanBufferLength);
    MarkerMatcher matcher;
    uint64_t position = 0;
    for (;;) {
        const uint32_t count = file.Read(buffer.get(), kScanBufferLength);
        if (count == 0) return false;  // end of file: there is no package
        const std::size_t after = matcher.Feed(buffer.get(), count);
        if (after != MarkerMatcher::kNotFound) {
            base = position + after;
            return true;
        }
        position += count;
    }
}

HeaderRead ReadPackageHeader(const char* path, HeaderBlock& header) {
    header.fill(0);
    if (!ProgramFileExists(path)) return HeaderRead::kNotFound;
    PackageFile file;
    if (!file.Open(path)) return HeaderRead::kCannotOpen;
    uint64_t base = 0;
    if (!LocatePackage(file, base) || !file.Seek(base)) return HeaderRead::kNoPackage;
    if (file.Read(header.data(), kHeaderBlockLength) != kHeaderBlockLength) {
        header.fill(0);
        return HeaderRead::kNoPackage;
    }
    return HeaderRead::kRead;
}
