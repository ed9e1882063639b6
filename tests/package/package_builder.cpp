#include "tests/package/package_builder.h"

#include <fstream>

#include "package/package_marker.h"
#include "session/process_values.h"

const uint32_t kShippedSizes[kSlotCount] = {309734, 464,      2708,   58340,     40,          198600,
                                            40,     540672,   40,     19689492,  110672263,   655360};

std::string MarkerBytes() {
    const Marker marker = PackageMarker();
    return std::string(marker.begin(), marker.end());
}

std::string PatternBytes(std::size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = static_cast<char>(state >> 24);
    }
    return bytes;
}

TestPackage TestPackage::WithSizes(const std::vector<uint32_t>& sizes) {
    TestPackage package;
    package.header.familyCode = 'C';
    package.header.identificationWord = 47;
    for (std::size_t slot = 0; slot < sizes.size() && slot < kSlotCount; ++slot)
        package.images[slot] = PatternBytes(sizes[slot], static_cast<uint32_t>(slot) + 1);
    package.LayOut();
    return package;
}

void TestPackage::LayOut() {
    uint32_t offset = kHeaderBlockLength;
    for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
        DirectoryEntry& entry = header.directory[slot];
        entry.id = slot + 1;
        entry.offset = offset;
        entry.presence = images[slot] ? 1 : 0;
        entry.size = images[slot] ? static_cast<uint32_t>(images[slot]->size()) : 0;
        offset += entry.size;
    }
}

std::string TestPackage::Bytes() const {
    const HeaderBlock block = EncodePackageHeader(header);
    std::string bytes = executable + MarkerBytes() + std::string(block.begin(), block.end());
    for (const auto& image : images)
        if (image) bytes += *image;
    return bytes;
}

void InstallProgramFile(const std::string& bytes, const char* name) {
    std::ofstream file(name, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    SetExecutableFileName(name);
}

std::string PayloadText(PacketBuffer& buffer) {
    std::string text;
    for (uint32_t chunk = 0; chunk < buffer.chunkCount; ++chunk) {
        const uint32_t length = buffer.ChunkLength(chunk);
        const uint8_t* bytes = buffer.PayloadBytes(uint64_t{chunk} * buffer.chunkSize, length);
        if (!bytes) break;
        text.append(reinterpret_cast<const char*>(bytes), length);
    }
    return text;
}
