// Fuzz target for the package reader: the marker scan, the header decode and the reading of
// directory entries, all of which see bytes from a file that may have been cut or altered.
// Each input is checked against a plain reference reading of the same bytes.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "package/package_file.h"
#include "package/package_header.h"
#include "package/package_marker.h"
#include "package/package_reader.h"

#include "fuzz/fuzz_require.h"

namespace {
// The reference: first occurrence of the marker by a plain search, as the end offset.
std::size_t ReferenceMarkerEnd(const uint8_t* data, std::size_t size) {
    const Marker marker = PackageMarker();
    const uint8_t* hit = std::search(data, data + size, marker.begin(), marker.end());
    return hit == data + size ? MarkerMatcher::kNotFound : static_cast<std::size_t>(hit - data) + kMarkerLength;
}

// Feeds the bytes in pieces whose lengths come from the data itself, so that matches
// across piece boundaries are exercised.
std::size_t MatcherMarkerEnd(const uint8_t* data, std::size_t size) {
    MarkerMatcher matcher;
    std::size_t position = 0;
    std::size_t piece = size > 0 ? data[0] % 23 + 1 : 1;
    while (position < size) {
        const std::size_t length = std::min(piece, size - position);
        const std::size_t after = matcher.Feed(data + position, length);
        if (after != MarkerMatcher::kNotFound) return position + after;
        position += length;
        piece = piece * 7 % 31 + 1;
    }
    return MarkerMatcher::kNotFound;
}

const std::string& InputPath() {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("veltrane_package_fuzz_" + std::to_string(getpid()))).string();
    return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::size_t expectedEnd = ReferenceMarkerEnd(data, size);
    REQUIRE(MatcherMarkerEnd(data, size) == expectedEnd);

    std::FILE* stream = std::fopen(InputPath().c_str(), "wb");
    REQUIRE(stream != nullptr);
    REQUIRE(std::fwrite(data, 1, size, stream) == size);
    std::fclose(stream);

    HeaderBlock block{};
    const HeaderRead read = ReadPackageHeader(InputPath().c_str(), block);
    const bool wholeHeader = expectedEnd != MarkerMatcher::kNotFound && size - expectedEnd >= kHeaderBlockLength;
    REQUIRE((read == HeaderRead::kRead) == wholeHeader);
    if (!wholeHeader) {
        REQUIRE(read == HeaderRead::kNoPackage);
        REQUIRE(std::all_of(block.begin(), block.end(), [](uint8_t byte) { return byte == 0; }));
        return 0;
    }
    REQUIRE(std::equal(block.begin(), block.end(), data + expectedEnd));

    const PackageHeader header = DecodePackageHeader(block);
    // What the header says survives a write and a second read.
    const PackageHeader again = DecodePackageHeader(EncodePackageHeader(header));
    REQUIRE(again.checkByte == header.checkByte && again.familyCode == header.familyCode &&
            again.identificationWord == header.identificationWord);

    PackageFile file;
    uint64_t fileSize = 0;
    uint64_t base = 0;
    REQUIRE(file.Open(InputPath().c_str()) && file.QuerySize(fileSize) && fileSize == size);
    REQUIRE(LocatePackage(file, base) && base == expectedEnd);
    std::vector<uint8_t> image;
    for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
        const DirectoryEntry& entry = header.directory[slot];
        REQUIRE(again.directory[slot].offset == entry.offset && again.directory[slot].size == entry.size);
        bool allocated = false;
        const EntryRead result = ReadEntry(file, fileSize, base, entry, [&](uint32_t length) {
            // Never more than the file holds: the directory is not trusted with the size.
            REQUIRE(length <= size);
            allocated = true;
            image.assign(length, 0xA5);
            return image.data();
        });
        const bool inside = uint64_t{entry.offset} + entry.size <= size - base;
        if (!inside) {
            REQUIRE(result == EntryRead::kOutsideFile && !allocated);
        } else if (entry.size == 0) {
            REQUIRE(result == EntryRead::kEmpty && !allocated);
        } else {
            REQUIRE(result == EntryRead::kRead && allocated);
            REQUIRE(std::equal(image.begin(), image.end(), data + base + entry.offset));
        }
    }
    return 0;
}
