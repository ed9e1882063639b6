// Reading one image of the package, treating the directory entry as untrusted: an entry
// whose bytes do not lie inside the file is refused before any memory is set aside for it.
#pragma once

#include <cstdint>
#include <functional>

#include "package/package_header.h"

class PackageFile;

enum class EntryRead {
    kRead,         // all size bytes were read
    kEmpty,        // the entry has size 0: nothing to read
    kOutsideFile,  // offset + size lies beyond the end of the file (or wraps around)
    kShortRead,    // the entry lies inside the file, but fewer bytes could be read
    kNoMemory,     // the buffer for the image could not be obtained
};

// Space for `size` bytes, or nullptr when it cannot be had.
using ImageAllocator = std::function<uint8_t*(uint32_t size)>;

// Reads the entry of an open program file of fileSize bytes whose package begins at base
// (the byte after the marker). allocate is called once, and only for an entry inside the file.
EntryRead ReadEntry(PackageFile& file, uint64_t fileSize, uint64_t base, const DirectoryEntry& entry,
                    const ImageAllocator& allocate);

// Whether the entry's bytes lie inside a file of fileSize bytes with the package at base.
bool EntryInsideFile(uint64_t fileSize, uint64_t base, const DirectoryEntry& entry);
