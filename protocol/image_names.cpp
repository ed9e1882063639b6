#include "protocol/image_names.h"

#include "package/package_file.h"
#include "package/package_header.h"
#include "package/package_reader.h"
#include "session/process_values.h"
#include "session/session_state.h"

std::string ImageFileName(ImageSlot slot) {
    std::string name;
    if (InServiceMode())
        if (SessionState* session = currentSession.load()) name = session->imageFolder;
    return name + kSlotFileNames[slot];
}

std::vector<ImageSlot> SlotsNotHeldInFull(std::span<const ImageSlot> slots) {
    PackageFile file;
    uint64_t size = 0;
    uint64_t base = 0;
    const bool located = file.Open(executableFileName) && file.QuerySize(size) && LocatePackage(file, base);
    std::vector<ImageSlot> missing;
    for (ImageSlot slot : slots) {
        const DirectoryEntry& entry = packageDirectory[slot];
        if (!located || entry.presence != 1 || !EntryInsideFile(size, base, entry)) missing.push_back(slot);
    }
    return missing;
}
