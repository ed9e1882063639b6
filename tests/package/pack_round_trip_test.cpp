// One package of the shipped image sizes, built by veltrane-pack behind an executable and
// loaded back slot by slot as a run loads it.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "package/image_checks.h"
#include "package/image_slots.h"
#include "package/package_image.h"
#include "session/process_values.h"
#include "session/run_settings.h"
#include "tests/package/package_builder.h"
#include "tests/support/temp_directory.h"
#include "tools/pack/pack_commands.h"

namespace fs = std::filesystem;

namespace {

TEST(PackRoundTripTest, ShippedSizesLoadBackExactlyInTheirChunks) {
    TempDirectory directory;
    fs::create_directory("images");
    for (uint32_t slot = 0; slot < kSlotCount; ++slot)
        WriteWholeFile(fs::path("images") / kSlotFileNames[slot], PatternBytes(kShippedSizes[slot], slot));
    WriteWholeFile("in.exe", PatternBytes(2 * 1024 * 1024, 99));

    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunPackTool({"create", "--images", "images", "--family", "C", "--id", "47", "--exe", "in.exe", "--out",
                           "Veltrane.exe"},
                          out, err),
              0)
        << err.str();

    SetExecutableFileName("Veltrane.exe");
    runSettings.writeQcsbl = runSettings.writeOemsbl = runSettings.writeAmss = 1;
    runSettings.writeAppsboot = runSettings.writeFlashBin = runSettings.writeCefs = 1;
    std::string missing;
    ASSERT_EQ(CheckImageSet(missing), 1) << missing;

    for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
        currentImageIndex = slot;
        const bool header = slot == kSlotOemsblHeader || slot == kSlotAppsbootHeader || slot == kSlotAmssHeader;
        const uint32_t chunkSize = header ? kHeaderChunkSize : kStreamChunkSize;
        const auto buffer = OpenPackageImage(chunkSize, kSlotFileNames[slot]);
        ASSERT_EQ(buffer->imageLoad, ImageLoad::kLoaded) << kSlotFileNames[slot];
        ASSERT_EQ(buffer->totalLength, kShippedSizes[slot]);
        EXPECT_EQ(buffer->chunkCount, (kShippedSizes[slot] + chunkSize - 1) / chunkSize);
        // Chunk by chunk, as the transfer reads them, without building a second 110 MB string.
        const std::string expected = PatternBytes(kShippedSizes[slot], slot);
        bool same = true;
        for (uint32_t chunk = 0; same && chunk < buffer->chunkCount; ++chunk) {
            const uint64_t offset = uint64_t{chunk} * chunkSize;
            const uint32_t length = buffer->ChunkLength(chunk);
            const uint8_t* bytes = buffer->PayloadBytes(offset, length);
            same = bytes && expected.compare(offset, length, reinterpret_cast<const char*>(bytes), length) == 0;
        }
        EXPECT_TRUE(same) << kSlotFileNames[slot];
        if (slot == kSlotAmss) {
            EXPECT_EQ(buffer->chunkCount, 25u);
        }
        if (slot == kSlotFlashBin) {
            EXPECT_EQ(buffer->chunkCount, 139u);
        }
    }
}

}  // namespace
