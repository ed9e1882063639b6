#include "package/package_image.h"

#include <new>

#include "package/package_file.h"
#include "package/package_header.h"
#include "package/package_reader.h"
#include "session/process_values.h"

namespace {
void MarkFailed(PacketBuffer& buffer) {
    buffer.payload.reset();
    buffer.payloadCapacity = 0;
    buffer.totalLength = 0;
    buffer.chunkCount = 0;
    buffer.chunkSize = 0;
    buffer.imageLoad = ImageLoad::kFailed;
}

ImageLoad LoadSlot(PacketBuffer& buffer) {
    const uint32_t slot = currentImageIndex.load();
    if (slot >= kSlotCount) return ImageLoad::kFailed;
    const DirectoryEntry entry = packageDirectory[slot];
    if (entry.presence != 1) return ImageLoad::kFailed;

    PackageFile file;
    uint64_t fileSize = 0;
    uint64_t base = 0;
    if (!file.Open(executableFileName) || !file.QuerySize(fileSize)) return ImageLoad::kFailed;
    if (!LocatePackage(file, base)) return ImageLoad::kFailed;

    const ImageAllocator allocate = [&buffer](uint32_t size) -> uint8_t* {
        try {
            buffer.AllocatePayload(size);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        return buffer.payload.get();
    };
    switch (ReadEntry(file, fileSize, base, entry, allocate)) {
    case EntryRead::kRead:
        buffer.SetPayloadLength(entry.size);
        return ImageLoad::kLoaded;
    case EntryRead::kEmpty:
        buffer.payload.reset();
        buffer.payloadCapacity = 0;
        buffer.SetPayloadLength(0);
        return ImageLoad::kEmptySlot;
    default:
        return ImageLoad::kFailed;
    }
}
}  // namespace

std::unique_ptr<PacketBuffer> OpenPackageImage(uint32_t chunkSize, const std::string& /*fileName*/) {
    auto buffer = std::make_unique<PacketBuffer>(chunkSize);
    const ImageLoad result = LoadSlot(*buffer);
    if (result == ImageLoad::kFailed)
        MarkFailed(*buffer);
    else
        buffer->imageLoad = result;
    return buffer;
}
