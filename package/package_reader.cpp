#include "package/package_reader.h"

#include "package/package_file.h"

bool EntryInsideFile(uint64_t fileSize, uint64_t base, const DirectoryEntry& entry) {
    // Both fields are 32-bit and base is a real file position: the sum cannot wrap in 64 bits.
    return base <= fileSize && uint64_t{entry.offset} + entry.size <= fileSize - base;
}

EntryRead ReadEntry(PackageFile& file, uint64_t fileSize, uint64_t base, const DirectoryEntry& entry,
                    const ImageAllocator& allocate) {
    if (!EntryInsideFile(fileSize, base, entry)) return EntryRead::kOutsideFile;
    if (entry.size == 0) return EntryRead::kEmpty;
    uint8_t* target = allocate(entry.size);
    if (!target) return EntryRead::kNoMemory;
    if (!file.Seek(base + entry.offset)) return EntryRead::kShortRead;
    return file.Read(target, entry.size) == entry.size ? EntryRead::kRead : EntryRead::kShortRead;
}
