#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <system_error>

#include "package/image_slots.h"
#include "package/package_file.h"
#include "package/package_header.h"
#include "package/package_marker.h"
#include "package/package_reader.h"
#include "tools/pack/pack_commands.h"
#include "tools/pack/temporary_file.h"
#include "tools/digest/sha256.h"

namespace fs = std::filesystem;

namespace {
constexpr std::size_t kCopyBlock = 1 << 20;
// Directory offsets and image sizes are 32-bit, and so are the reader's payload lengths.
constexpr uint64_t kLargestFile = 0xFFFFFFFFull;

struct BuildError {
    std::string message;
};

struct SlotSource {
    bool present = false;
    fs::path path;
    uint64_t size = 0;
    std::array<uint8_t, 32> digest{};
};

uint64_t RegularFileSize(const fs::path& path, const char* what) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status)) throw BuildError{std::string(what) + " " + path.string() + " not found"};
    if (!fs::is_regular_file(status)) throw BuildError{std::string(what) + " " + path.string() + " is not a regular file"};
    const uintmax_t size = fs::file_size(path, error);
    if (error) throw BuildError{"cannot read the size of " + path.string() + ": " + error.message()};
    return size;
}

// Streams a whole file to the output, hashing what passes; the count must match the size seen before.
std::array<uint8_t, 32> CopyFile(const fs::path& source, uint64_t expectedSize, std::ofstream& target,
                                 std::vector<char>& block) {
    std::ifstream input(source, std::ios::binary);
    if (!input) throw BuildError{"cannot open " + source.string()};
    Sha256 hash;
    uint64_t copied = 0;
    while (input) {
        input.read(block.data(), static_cast<std::streamsize>(block.size()));
        const auto count = static_cast<std::size_t>(input.gcount());
        if (count == 0) break;
        hash.Update(block.data(), count);
        target.write(block.data(), static_cast<std::streamsize>(count));
        copied += count;
    }
    if (input.bad()) throw BuildError{"read error in " + source.string()};
    if (copied != expectedSize) throw BuildError{source.string() + " changed while it was read"};
    return hash.Digest();
}

std::optional<uint64_t> FindMarkerIn(const fs::path& path, std::vector<char>& block) {
    std::ifstream input(path, std::ios::binary);
    if (!input) throw BuildError{"cannot open " + path.string()};
    MarkerMatcher matcher;
    uint64_t position = 0;
    while (input) {
        input.read(block.data(), static_cast<std::streamsize>(block.size()));
        const auto count = static_cast<std::size_t>(input.gcount());
        if (count == 0) break;
        const std::size_t after = matcher.Feed(reinterpret_cast<const uint8_t*>(block.data()), count);
        if (after != MarkerMatcher::kNotFound) return position + after - kMarkerLength;
        position += count;
    }
    if (input.bad()) throw BuildError{"read error in " + path.string()};
    return std::nullopt;
}

// Reads the written file back the way the program does and compares it with what was meant.
void CheckRoundTrip(const fs::path& written, uint64_t expectedBase, const PackageHeader& header,
                    const std::array<SlotSource, kSlotCount>& sources) {
    const std::string name = written.string();
    PackageFile file;
    uint64_t fileSize = 0;
    uint64_t base = 0;
    if (!file.Open(name.c_str()) || !file.QuerySize(fileSize)) throw BuildError{"cannot read back " + name};
    if (!LocatePackage(file, base)) throw BuildError{"round trip failed: the written file shows no marker"};
    if (base != expectedBase)
        throw BuildError{"round trip failed: the marker is found at " + std::to_string(base - kMarkerLength) +
                         " instead of " + std::to_string(expectedBase - kMarkerLength)};
    HeaderBlock block{};
    if (!file.Seek(base) || file.Read(block.data(), kHeaderBlockLength) != kHeaderBlockLength ||
        block != EncodePackageHeader(header))
        throw BuildError{"round trip failed: the header reads back differently"};
    std::vector<uint8_t> image;
    for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
        if (!sources[slot].present) continue;
        const EntryRead read = ReadEntry(file, fileSize, base, header.directory[slot], [&image](uint32_t size) {
            image.resize(size);
            return image.data();
        });
        Sha256 hash;
        if (read == EntryRead::kRead) hash.Update(image.data(), image.size());
        const bool same = (read == EntryRead::kRead || read == EntryRead::kEmpty) && hash.Digest() == sources[slot].digest;
        if (!same) throw BuildError{std::string("round trip failed: ") + kSlotFileNames[slot] + " reads back differently"};
    }
}

void Build(const CreateOptions& options, std::ostream& out, const fs::path& temporary, bool& temporaryCreated) {
    std::error_code error;
    if (!fs::is_directory(options.imagesFolder, error)) throw BuildError{"image folder " + options.imagesFolder + " not found"};

    std::array<SlotSource, kSlotCount> sources;
    PackageHeader header;
    header.familyCode = options.familyCode;
    header.identificationWord = options.identificationWord;
    uint64_t offset = kHeaderBlockLength;
    uint32_t present = 0;
    for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
        SlotSource& source = sources[slot];
        source.path = fs::path(options.imagesFolder) / kSlotFileNames[slot];
        DirectoryEntry& entry = header.directory[slot];
        entry.id = slot + 1;
        if (fs::exists(fs::symlink_status(source.path, error))) {
            source.size = RegularFileSize(source.path, "image");
            source.present = true;
            ++present;
        }
        if (offset + source.size > kLargestFile)
            throw BuildError{std::string("the package would pass 4 GiB at ") + kSlotFileNames[slot] +
                             "; directory offsets are 32-bit"};
        entry.presence = source.present ? 1 : 0;
        entry.offset = static_cast<uint32_t>(offset);
        entry.size = static_cast<uint32_t>(source.size);
        offset += source.size;
    }
    if (present == 0) throw BuildError{"no slot file found in " + options.imagesFolder};

    std::vector<char> block(kCopyBlock);
    uint64_t executableSize = 0;
    if (!options.executable.empty()) {
        executableSize = RegularFileSize(options.executable, "executable");
        if (const auto marker = FindMarkerIn(options.executable, block))
            throw BuildError{options.executable + " already carries a package (marker at offset " +
                             std::to_string(*marker) + ")"};
    }
    const uint64_t total = executableSize + kMarkerLength + offset;
    if (total > kLargestFile)
        throw BuildError{"the output would be " + std::to_string(total) + " bytes; the program reads at most 4 GiB"};

    {
        std::ofstream target(temporary, std::ios::binary | std::ios::trunc);
        if (!target) throw BuildError{"cannot create " + temporary.string()};
        temporaryCreated = true;
        if (!options.executable.empty()) {
            (void)CopyFile(options.executable, executableSize, target, block);
        }
        const Marker marker = PackageMarker();
        target.write(reinterpret_cast<const char*>(marker.data()), kMarkerLength);
        const HeaderBlock encoded = EncodePackageHeader(header);
        target.write(reinterpret_cast<const char*>(encoded.data()), kHeaderBlockLength);
        for (SlotSource& source : sources) {
            if (source.present) source.digest = CopyFile(source.path, source.size, target, block);
        }
        target.flush();
        if (!target) throw BuildError{"write error in " + temporary.string()};
    }
    CheckRoundTrip(temporary, executableSize + kMarkerLength, header, sources);

    if (!options.executable.empty()) {
        // Keep the executable runnable (the native tools are programs too).
        fs::permissions(temporary, fs::status(options.executable).permissions(), error);
    }
    fs::rename(temporary, options.output, error);
    if (error) throw BuildError{"cannot put the package in place as " + options.output + ": " + error.message()};
    temporaryCreated = false;
    out << "wrote " << options.output << ": " << present << " images, package of " << (kMarkerLength + offset)
        << " bytes at offset " << executableSize << "\n";
}
}  // namespace

int CreatePackage(const CreateOptions& options, std::ostream& out, std::ostream& err) {
    const fs::path temporary = TemporaryBeside(options.output);
    bool temporaryCreated = false;
    try {
        Build(options, out, temporary, temporaryCreated);
        return kExitDone;
    } catch (const BuildError& failure) {
        err << "veltrane-pack: " << failure.message << "\n";
    } catch (const std::exception& failure) {
        err << "veltrane-pack: " << failure.what() << "\n";
    }
    if (temporaryCreated) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
    }
    return kExitBadInput;
}
