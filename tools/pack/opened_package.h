// A package opened for reading by the commands that look inside one (list, verify, extract),
// and the texts they share for what they find wrong, so every command words a fault alike.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "package/package_file.h"
#include "package/package_header.h"
#include "package/package_reader.h"

// The file, its size, where the package begins (the byte after the marker) and its header.
struct OpenedPackage {
    PackageFile file;
    uint64_t fileSize = 0;
    uint64_t base = 0;
    PackageHeader header;
};

// Finds the marker and reads the header; on failure writes the one-line error to err.
bool OpenPackage(const std::string& path, OpenedPackage& package, std::ostream& err);

// Reads one entry into image (emptied first); the entry is not trusted.
EntryRead ReadSlot(OpenedPackage& package, const DirectoryEntry& entry, std::vector<uint8_t>& image);

// What is wrong with a read, or nullptr when the entry was read in full (or is empty).
const char* ReadProblem(EntryRead read);

// The problem line of a slot whose entry could not be read.
std::string EntryProblem(const OpenedPackage& package, uint32_t slot, EntryRead read);

// The header's check byte when the program would refuse it; empty otherwise.
std::string CheckByteProblem(const PackageHeader& header);
// The header lengths when they are not the ones this format has; empty otherwise.
std::string HeaderLengthProblem(const PackageHeader& header);

// Writes each problem as "problem: ..." to lines, then the one-line verdict to err.
void ReportUnsound(const std::string& path, const std::vector<std::string>& problems, std::ostream& lines,
                   std::ostream& err);
