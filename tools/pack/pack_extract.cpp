#include <filesystem>
#include <fstream>
#include <ostream>
#include <system_error>
#include <vector>

#include "package/image_slots.h"
#include "tools/digest/sha256.h"
#include "tools/pack/opened_package.h"
#include "tools/pack/pack_commands.h"
#include "tools/pack/package_json.h"
#include "tools/pack/temporary_file.h"

namespace fs = std::filesystem;

namespace {
constexpr const char* kDescriptionName = "package.json";

struct ExtractError {
    std::string message;
};

// Entries that would make the images unreadable, found from the directory alone, before
// anything is written. The check byte is not among them: the images are whole whatever it says.
std::vector<std::string> LayoutProblems(const OpenedPackage& package) {
    std::vector<std::string> problems;
    const std::string lengths = HeaderLengthProblem(package.header);
    if (!lengths.empty()) problems.push_back(lengths);
    for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
        const DirectoryEntry& entry = package.header.directory[slot];
        if (entry.presence == 1 && !EntryInsideFile(package.fileSize, package.base, entry))
            problems.push_back(EntryProblem(package, slot, EntryRead::kOutsideFile));
    }
    return problems;
}

// Every name the extract would write or leave behind in the folder is checked before
// anything is written, so a refusal leaves the folder as it was. A slot file the package
// lacks counts too: left there, `create --from` would take the folder for another package.
void CheckTargets(const fs::path& folder, const PackageDirectory& directory, bool force) {
    std::error_code error;
    const fs::file_status status = fs::status(folder, error);
    if (fs::exists(status) && !fs::is_directory(status)) throw ExtractError{folder.string() + " is not a folder"};
    for (uint32_t slot = 0; slot <= kSlotCount; ++slot) {
        const fs::path target = folder / (slot < kSlotCount ? kSlotFileNames[slot] : kDescriptionName);
        const fs::file_status found = fs::symlink_status(target, error);
        if (!fs::exists(found)) continue;
        if (fs::is_directory(found)) throw ExtractError{target.string() + " is a folder; extract writes a file there"};
        if (force) continue;
        if (slot < kSlotCount && directory[slot].presence != 1)
            throw ExtractError{target.string() + " is an image this package lacks; --force removes it"};
        throw ExtractError{target.string() + " already exists; --force overwrites it"};
    }
}

void WriteFile(const fs::path& path, const void* bytes, std::size_t length) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(length));
    file.close();
    if (!file) throw ExtractError{"cannot write " + path.string()};
}
}  // namespace

int ExtractPackage(const std::string& path, const std::string& folderName, bool force, std::ostream& out,
                   std::ostream& err) {
    OpenedPackage package;
    if (!OpenPackage(path, package, err)) return kExitBadInput;
    const std::vector<std::string> problems = LayoutProblems(package);
    if (!problems.empty()) {
        ReportUnsound(path, problems, out, err);
        return kExitBadInput;
    }
    const std::string checkByte = CheckByteProblem(package.header);
    if (!checkByte.empty()) err << "veltrane-pack: warning: " << checkByte << "\n";

    const fs::path folder(folderName);
    TemporaryFiles written;
    PackageRecord record{package.header.familyCode, package.header.identificationWord, package.header.checkByte, {}};
    try {
        CheckTargets(folder, package.header.directory, force);
        fs::create_directories(folder);
        std::vector<uint8_t> image;
        std::vector<fs::path> stale;
        for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
            const DirectoryEntry& entry = package.header.directory[slot];
            const fs::path target = folder / kSlotFileNames[slot];
            if (entry.presence != 1) {
                if (fs::exists(fs::symlink_status(target))) stale.push_back(target);  // --force only
                continue;
            }
            const EntryRead read = ReadSlot(package, entry, image);
            if (ReadProblem(read)) {
                ReportUnsound(path, {EntryProblem(package, slot, read)}, out, err);
                return kExitBadInput;
            }
            WriteFile(written.Add(target), image.data(), image.size());
            record.images.push_back({slot, entry.size, Sha256Hex(image.data(), image.size())});
        }
        // The description goes first and comes back last: while it is there, the images
        // beside it are the ones it lists.
        const fs::path descriptionPath = folder / kDescriptionName;
        const std::string description = PackageJsonText(record);
        WriteFile(written.Add(descriptionPath), description.data(), description.size());
        fs::remove(descriptionPath);
        for (const fs::path& file : stale) fs::remove(file);
        written.PutInPlace();
    } catch (const ExtractError& failure) {
        err << "veltrane-pack: " << failure.message << "\n";
        return kExitBadInput;
    } catch (const fs::filesystem_error& failure) {
        err << "veltrane-pack: " << failure.what() << "\n";
        return kExitBadInput;
    }
    out << "extracted " << record.images.size() << " images from " << path << " into " << folderName << "\n";
    return kExitDone;
}
