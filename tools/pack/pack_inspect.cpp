#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <ostream>
#include <vector>

#include "package/image_slots.h"
#include "package/package_file.h"
#include "package/package_header.h"
#include "package/package_reader.h"
#include "tools/pack/pack_commands.h"
#include "tools/digest/sha256.h"

namespace {
// An opened package: the file, its size, where the package begins and its header.
struct OpenedPackage {
    PackageFile file;
    uint64_t fileSize = 0;
    uint64_t base = 0;
    PackageHeader header;
};

bool OpenPackage(const std::string& path, OpenedPackage& package, std::ostream& err) {
    if (!ProgramFileExists(path.c_str())) {
        err << "veltrane-pack: " << path << " not found\n";
        return false;
    }
    if (!package.file.Open(path.c_str()) || !package.file.QuerySize(package.fileSize)) {
        err << "veltrane-pack: cannot open " << path << "\n";
        return false;
    }
    if (!LocatePackage(package.file, package.base)) {
        err << "veltrane-pack: " << path << " carries no package (no marker)\n";
        return false;
    }
    HeaderBlock block{};
    if (!package.file.Seek(package.base) || package.file.Read(block.data(), kHeaderBlockLength) != kHeaderBlockLength) {
        err << "veltrane-pack: " << path << ": the package header is cut short\n";
        return false;
    }
    package.header = DecodePackageHeader(block);
    return true;
}

#if defined(__MINGW32__)
std::string Line(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
#else
std::string Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
#endif
std::string Line(const char* format, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

// Reads one entry; the digest when it was read in full (an empty entry has the empty digest).
EntryRead ReadSlot(OpenedPackage& package, const DirectoryEntry& entry, std::string& digest) {
    std::vector<uint8_t> image;
    const EntryRead read = ReadEntry(package.file, package.fileSize, package.base, entry, [&image](uint32_t size) {
        image.resize(size);
        return image.data();
    });
    if (read == EntryRead::kRead || read == EntryRead::kEmpty) digest = Sha256Hex(image.data(), image.size());
    return read;
}

const char* ReadProblem(EntryRead read) {
    switch (read) {
    case EntryRead::kOutsideFile:
        return "outside the file";
    case EntryRead::kShortRead:
        return "short: fewer bytes could be read than the directory gives";
    case EntryRead::kNoMemory:
        return "too large to hold in memory";
    default:
        return nullptr;
    }
}
}  // namespace

int ListPackage(const std::string& path, std::ostream& out, std::ostream& err) {
    OpenedPackage package;
    if (!OpenPackage(path, package, err)) return kExitBadInput;
    const PackageHeader& header = package.header;
    const unsigned family = header.familyCode;
    out << Line("family code: %c (0x%02x)\n", family >= 0x20 && family < 0x7f ? static_cast<char>(family) : '?', family)
        << Line("identification word: %" PRIu32 " (0x%08" PRIx32 ")\n", header.identificationWord, header.identificationWord)
        << Line("check byte: %u\n", header.checkByte)
        << Line("header lengths: fixed %u, total %" PRIu32 "\n", header.fixedHeaderLength, header.totalHeaderLength)
        << Line("package begins at: %" PRIu64 " (the byte after the marker)\n", package.base)
        << Line("%-4s %-20s %-7s %-4s %-10s %-10s %s\n", "slot", "name", "present", "id", "offset", "size", "sha256");
    for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
        const DirectoryEntry& entry = header.directory[slot];
        std::string digest = "-";
        if (entry.presence == 1) {
            const char* problem = ReadProblem(ReadSlot(package, entry, digest));
            if (problem) digest = problem;
        }
        out << Line("%-4" PRIu32 " %-20s %-7s %-4" PRIu32 " %-10" PRIu32 " %-10" PRIu32 " %s\n", slot,
                    kSlotFileNames[slot], entry.presence == 1 ? "yes" : "no", entry.id, entry.offset, entry.size,
                    digest.c_str());
    }
    return kExitDone;
}

int VerifyPackage(const std::string& path, std::ostream& out, std::ostream& err) {
    OpenedPackage package;
    if (!OpenPackage(path, package, err)) return kExitBadInput;
    const PackageHeader& header = package.header;
    std::vector<std::string> problems;
    if (header.checkByte != kPackageCheckByte)
        problems.push_back(Line("check byte %u, expected %u: the program refuses the package", header.checkByte,
                                kPackageCheckByte));
    if (header.fixedHeaderLength != kFixedHeaderLength || header.totalHeaderLength != kHeaderBlockLength)
        problems.push_back(Line("header lengths %u and %" PRIu32 ", expected %" PRIu32 " and %" PRIu32,
                                header.fixedHeaderLength, header.totalHeaderLength, kFixedHeaderLength,
                                kHeaderBlockLength));
    uint32_t present = 0;
    for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
        const DirectoryEntry& entry = header.directory[slot];
        if (entry.presence != 1) continue;
        ++present;
        std::string digest;
        if (const char* problem = ReadProblem(ReadSlot(package, entry, digest))) {
            problems.push_back(Line("slot %" PRIu32 " %s (offset %" PRIu32 ", size %" PRIu32 "): %s; %" PRIu64
                                    " bytes follow the marker",
                                    slot, kSlotFileNames[slot], entry.offset, entry.size, problem,
                                    package.fileSize - package.base));
        }
    }
    for (const std::string& problem : problems) out << "problem: " << problem << "\n";
    if (!problems.empty()) {
        err << "veltrane-pack: " << path << " is not sound: " << problems.size() << " problem(s)\n";
        return kExitBadInput;
    }
    out << path << ": sound, " << present << " images read in full\n";
    return kExitDone;
}
