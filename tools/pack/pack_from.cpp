#include <array>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <system_error>
#include <vector>

#include "package/image_slots.h"
#include "package/package_header.h"
#include "tools/digest/sha256.h"
#include "tools/pack/pack_commands.h"
#include "tools/pack/package_json.h"

namespace fs = std::filesystem;

namespace {
// Ours is well under a kilobyte per image; anything this large was never written by extract.
constexpr uintmax_t kLargestDescription = 64 * 1024;

struct FromError {
    std::string message;
};

std::string ReadDescription(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) throw FromError{path.string() + " not found"};
    if (!fs::is_regular_file(status)) throw FromError{path.string() + " is not a regular file"};
    if (fs::file_size(path, error) > kLargestDescription)
        throw FromError{path.string() + " is too large for a package description"};
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    if (!file) throw FromError{"cannot read " + path.string()};
    return text.str();
}

std::string FileSha256(const fs::path& path) {
    std::ifstream input(path, std::ios::binary);
    if (!input) throw FromError{"cannot open " + path.string()};
    std::vector<char> block(1 << 20);
    Sha256 hash;
    while (input) {
        input.read(block.data(), static_cast<std::streamsize>(block.size()));
        hash.Update(block.data(), static_cast<std::size_t>(input.gcount()));
    }
    if (input.bad()) throw FromError{"read error in " + path.string()};
    return hash.HexDigest();
}

// The folder must hold exactly the listed images, each of its listed size and digest: a
// slot file beside them that is not listed would otherwise go into the package unseen.
void CheckImages(const fs::path& folder, const fs::path& description, const PackageRecord& record) {
    std::array<const ImageRecord*, kSlotCount> listed{};
    for (const ImageRecord& image : record.images) listed[image.slot] = &image;
    for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
        const fs::path file = folder / kSlotFileNames[slot];
        std::error_code error;
        const bool exists = fs::exists(fs::symlink_status(file, error));
        if (!listed[slot]) {
            if (exists) throw FromError{file.string() + " is not listed in " + description.string()};
            continue;
        }
        if (!exists) throw FromError{file.string() + " is missing; it is listed in " + description.string()};
        const uintmax_t size = fs::file_size(file, error);
        if (error) throw FromError{"cannot read the size of " + file.string() + ": " + error.message()};
        if (size != listed[slot]->size)
            throw FromError{file.string() + " has " + std::to_string(size) + " bytes; " + description.string() +
                            " gives " + std::to_string(listed[slot]->size)};
        if (FileSha256(file) != listed[slot]->sha256)
            throw FromError{file.string() + " differs from its SHA-256 in " + description.string()};
    }
}
}  // namespace

int TakeFolderDescription(CreateOptions& options, std::ostream& err) {
    const fs::path folder(options.imagesFolder);
    const fs::path description = folder / "package.json";
    try {
        PackageRecord record;
        std::string problem;
        if (!ParsePackageJson(ReadDescription(description), record, problem))
            throw FromError{description.string() + ": " + problem};
        if (record.checkByte != kPackageCheckByte)
            throw FromError{description.string() + ": check byte " + std::to_string(record.checkByte) +
                            "; packages are built with " + std::to_string(kPackageCheckByte) +
                            ", the only one the program accepts"};
        CheckImages(folder, description, record);
        options.familyCode = record.familyCode;
        options.identificationWord = record.identificationWord;
        return kExitDone;
    } catch (const FromError& failure) {
        err << "veltrane-pack: " << failure.message << "\n";
    } catch (const fs::filesystem_error& failure) {
        err << "veltrane-pack: " << failure.what() << "\n";
    }
    return kExitBadInput;
}
