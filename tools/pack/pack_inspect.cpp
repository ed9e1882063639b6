#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <ostream>
#include <vector>

#include "package/image_slots.h"
#include "tools/pack/opened_package.h"
#include "tools/pack/pack_commands.h"
#include "tools/digest/sha256.h"

namespace {
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
    std::vector<uint8_t> image;
    for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
        const DirectoryEntry& entry = header.directory[slot];
        std::string digest = "-";
        if (entry.presence == 1) {
            const EntryRead read = ReadSlot(package, entry, image);
            const char* problem = ReadProblem(read);
            digest = problem ? problem : Sha256Hex(image.data(), image.size());
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
    std::vector<std::string> problems;
    for (std::string problem : {CheckByteProblem(package.header), HeaderLengthProblem(package.header)})
        if (!problem.empty()) problems.push_back(problem);
    uint32_t present = 0;
    std::vector<uint8_t> image;
    for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
        const DirectoryEntry& entry = package.header.directory[slot];
        if (entry.presence != 1) continue;
        ++present;
        const EntryRead read = ReadSlot(package, entry, image);
        if (ReadProblem(read)) problems.push_back(EntryProblem(package, slot, read));
    }
    if (!problems.empty()) {
        ReportUnsound(path, problems, out, err);
        return kExitBadInput;
    }
    out << path << ": sound, " << present << " images read in full\n";
    return kExitDone;
}
