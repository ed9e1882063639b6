#include "protocol/image_names.h"

#include "package/package_file.h"
#include "package/package_header.h"
#include "package/package_reader.h"
#include "session/image_targets.h"
#include "session/process_values.h"
#include "session/session_state.h"

std::string ImageFileName(ImageSlot slot) {
    std::string name;
    if (InServiceMode())
        if (SessionState* session = currentSession.load()) name = session->imageFolder;
    return name + kSlotFileNames[slot];
}

std::vector<ImageSlot> SlotsTheOverrideCannotHave() {
    PackageFile file;
    uint64_t size = 0;
    uint64_t base = 0;
    const bool located = file.Open(PackageFilePath()) && file.QuerySize(size) && LocatePackage(file, base);
    const auto held = [&](ImageSlot slot, bool needsBytes) {
        const DirectoryEntry& entry = packageDirectory[slot];
        return located && entry.presence == 1 && EntryInsideFile(size, base, entry) && (!needsBytes || entry.size != 0);
    };
    std::vector<ImageSlot> missing;
    for (const ImageTargetInfo& info : kImageTargets) {
        if (info.openCarriesHeader && !held(info.headerSlot, true)) missing.push_back(info.headerSlot);
        if (!held(info.bodySlot, false)) missing.push_back(info.bodySlot);
    }
    return missing;
}
