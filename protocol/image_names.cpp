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

bool PackageSlotHoldsImage(ImageSlot slot) {
    const DirectoryEntry& entry = packageDirectory[slot];
    if (entry.presence != 1) return false;
    PackageFile file;
    uint64_t size = 0;
    uint64_t base = 0;
    if (!file.Open(executableFileName) || !file.QuerySize(size) || !LocatePackage(file, base)) return false;
    return EntryInsideFile(size, base, entry);
}
