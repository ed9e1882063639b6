#include "tools/pack/opened_package.h"

#include <cinttypes>
#include <cstdio>
#include <ostream>

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

EntryRead ReadSlot(OpenedPackage& package, const DirectoryEntry& entry, std::vector<uint8_t>& image) {
    image.clear();
    return ReadEntry(package.file, package.fileSize, package.base, entry, [&image](uint32_t size) {
        image.resize(size);
        return image.data();
    });
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

std::string EntryProblem(const OpenedPackage& package, uint32_t slot, EntryRead read) {
    const DirectoryEntry& entry = package.header.directory[slot];
    char text[512];
    std::snprintf(text, sizeof text,
                  "slot %" PRIu32 " %s (offset %" PRIu32 ", size %" PRIu32 "): %s; %" PRIu64 " bytes follow the marker",
                  slot, kSlotFileNames[slot], entry.offset, entry.size, ReadProblem(read),
                  package.fileSize - package.base);
    return text;
}

std::string CheckByteProblem(const PackageHeader& header) {
    if (header.checkByte == kPackageCheckByte) return {};
    char text[128];
    std::snprintf(text, sizeof text, "check byte %u, expected %u: the program refuses the package", header.checkByte,
                  kPackageCheckByte);
    return text;
}

std::string HeaderLengthProblem(const PackageHeader& header) {
    if (header.fixedHeaderLength == kFixedHeaderLength && header.totalHeaderLength == kHeaderBlockLength) return {};
    char text[128];
    std::snprintf(text, sizeof text, "header lengths %u and %" PRIu32 ", expected %" PRIu32 " and %" PRIu32,
                  header.fixedHeaderLength, header.totalHeaderLength, kFixedHeaderLength, kHeaderBlockLength);
    return text;
}

void ReportUnsound(const std::string& path, const std::vector<std::string>& problems, std::ostream& lines,
                   std::ostream& err) {
    for (const std::string& problem : problems) lines << "problem: " << problem << "\n";
    err << "veltrane-pack: " << path << " is not sound: " << problems.size() << " problem(s)\n";
}
