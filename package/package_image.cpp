#include "package/package_image.h"

#include <new>

#include "package/package_file.h"
#include "package/package_header.h"
#include "package/package_reader.h"
#include "session/process_values.h"

namespace {
void MarkFailed(PacketBuffer& buffer) {
    buffer.ReleasePayload();
    buffer.totalLength = 0;
    buffer.chunkCount = 0;
    buffer.chunkSize = 0;
    buffer.imageLoad = ImageLoad::kFailed;
}

ImageLoad LoadSlot(PacketBuffer& buffer) {
    if (!buffer.Ready()) return ImageLoad::kFailed;
    const uint32_t slot = currentImageIndex.load();
    if (slot >= kSlotCount) return ImageLoad::kFailed;
    const DirectoryEntry entry = packageDirectory[slot];
    if (entry.presence != 1) return ImageLoad::kFailed;

    PackageFile file;
    uint64_t fileSize = 0;
    uint64_t base = 0;
    if (!file.Open(PackageFilePath()) || !file.QuerySize(fileSize)) return ImageLoad::kFailed;
    if (!LocatePackage(file, base)) return ImageLoad::kFailed;

    if (EntryInsideFile(fileSize, base, entry) && entry.size != 0) {
        if (std::unique_ptr<PayloadSource> source = file.ChunkSource(base + entry.offset, entry.size)) {
            buffer.UsePayloadSource(std::move(source), entry.size);
            buffer.SetPayloadLength(entry.size);
            return ImageLoad::kLoaded;
        }
    }
    const ImageAllocator allocate = [&buffer](uint32_t size) { return buffer.AllocatePayload(size); };
    switch (ReadEntry(file, fileSize, base, entry, allocate)) {
    case EntryRead::kRead:
        buffer.SetPayloadLength(entry.size);
        return ImageLoad::kLoaded;
    case EntryRead::kEmpty:
        buffer.ReleasePayload();
        buffer.SetPayloadLength(0);
        return ImageLoad::kEmptySlot;
    default:
        return ImageLoad::kFailed;
    }
}
}  // namespace

std::unique_ptr<PacketBuffer> OpenPackageImage(uint32_t chunkSize, const std::string& /*fileName*/) {
    std::unique_ptr<PacketBuffer> buffer(new (std::nothrow) PacketBuffer(chunkSize, PacketBuffer::InitialPayload::kNone));
    if (!buffer) return nullptr;
    const ImageLoad result = LoadSlot(*buffer);
    if (result == ImageLoad::kFailed)
        MarkFailed(*buffer);
    else
        buffer->imageLoad = result;
    return buffer;
}

bool ImageLoadFailed(const std::unique_ptr<PacketBuffer>& buffer) {
    return !buffer || buffer->imageLoad == ImageLoad::kFailed;
}
