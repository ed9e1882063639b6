// Packages built by veltrane-pack: one of the shipped image sizes behind an executable,
// loaded back slot by slot as a run loads it; and packages taken apart and built again.
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
#include "tools/digest/sha256.h"
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

int RunQuietly(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunPackTool(arguments, out, err);
    EXPECT_EQ(err.str(), "");
    return status;
}

// create, extract, create --from: the same file again, bare or behind an executable, with
// family codes that package.json must escape and an empty image beside absent slots.
TEST(PackRoundTripTest, ExtractThenCreateFromGivesTheSameFile) {
    TempDirectory directory;
    fs::create_directory("images");
    const std::vector<int> sizes = {30, 0, -1, 58, -1, -1, -1, -1, -1, 4000};
    for (uint32_t slot = 0; slot < sizes.size(); ++slot)
        if (sizes[slot] >= 0) WriteWholeFile(fs::path("images") / kSlotFileNames[slot], PatternBytes(sizes[slot], slot));
    WriteWholeFile("in.exe", "MZ" + PatternBytes(5000, 99));

    struct Build {
        std::string family, id, executable;
    };
    const std::vector<Build> builds = {{"C", "47", ""}, {"\"", "0xFFFFFF10", "in.exe"}, {"\x01", "0x0110", ""}};
    for (std::size_t i = 0; i < builds.size(); ++i) {
        const Build& build = builds[i];
        const std::string folder = "out" + std::to_string(i);
        std::vector<std::string> exe;
        if (!build.executable.empty()) exe = {"--exe", build.executable};
        std::vector<std::string> first = {"create", "--images", "images", "--family", build.family, "--id", build.id,
                                          "--out", "first.exe"};
        std::vector<std::string> again = {"create", "--from", folder, "--out", "again.exe"};
        first.insert(first.end(), exe.begin(), exe.end());
        again.insert(again.end(), exe.begin(), exe.end());
        ASSERT_EQ(RunQuietly(first), 0);
        ASSERT_EQ(RunQuietly({"extract", "first.exe", folder}), 0);
        ASSERT_EQ(RunQuietly(again), 0) << i;
        EXPECT_EQ(ReadWholeFile("again.exe"), ReadWholeFile("first.exe")) << i;
    }

    const auto digest = [](int size, uint32_t slot) {
        const std::string bytes = PatternBytes(static_cast<std::size_t>(size), slot);
        return Sha256Hex(bytes.data(), bytes.size());
    };
    EXPECT_EQ(ReadWholeFile(fs::path("out0") / "package.json"),
              "{\n  \"family_code\": \"C\",\n  \"identification_word\": 47,\n  \"check_byte\": 14,\n  \"images\": [\n"
              "    {\"slot\": 0, \"name\": \"NPRG7200A.hex\", \"size\": 30, \"sha256\": \"" + digest(30, 0) + "\"},\n"
              "    {\"slot\": 1, \"name\": \"partition.mbn\", \"size\": 0, \"sha256\": \"" + digest(0, 1) + "\"},\n"
              "    {\"slot\": 3, \"name\": \"qcsbl.mbn\", \"size\": 58, \"sha256\": \"" + digest(58, 3) + "\"},\n"
              "    {\"slot\": 9, \"name\": \"amss.mbn\", \"size\": 4000, \"sha256\": \"" + digest(4000, 9) + "\"}\n"
              "  ]\n}\n");
    EXPECT_NE(ReadWholeFile(fs::path("out2") / "package.json").find("\"family_code\": \"\\u0001\""), std::string::npos);
}

}  // namespace
