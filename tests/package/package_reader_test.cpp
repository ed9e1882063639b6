// The package reader: the marker scan, the header block and the loading of single images,
// through real files in a temporary directory.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "package/package_file.h"
#include "package/package_header.h"
#include "package/package_image.h"
#include "package/package_marker.h"
#include "package/package_reader.h"
#include "session/process_values.h"
#include "tests/package/package_builder.h"
#include "tests/support/temp_directory.h"

namespace {

std::string Hex(const uint8_t* bytes, std::size_t count) {
    std::string text;
    char digits[3];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
        text += digits;
    }
    return text;
}

// Where LocatePackage puts the package in a file holding these bytes; -1 for none.
int64_t LocateIn(const std::string& bytes) {
    WriteWholeFile("probe.bin", bytes);
    PackageFile file;
    EXPECT_TRUE(file.Open("probe.bin"));
    uint64_t base = 0;
    return LocatePackage(file, base) ? static_cast<int64_t>(base) : -1;
}

class PackageReaderTest : public ::testing::Test {
protected:
    void SetUp() override { currentImageIndex = 0; }

    // Installs the package as the program file and decodes its directory, as the run-start check does.
    void Install(const TestPackage& package) {
        InstallProgramFile(package.Bytes());
        DecodePackageDirectory(EncodePackageHeader(package.header));
    }

    std::unique_ptr<PacketBuffer> Load(uint32_t slot, uint32_t chunkSize = kStreamChunkSize) {
        currentImageIndex = slot;
        return OpenPackageImage(chunkSize, kSlotFileNames[slot % kSlotCount]);
    }

    static void ExpectFailed(const PacketBuffer& buffer) {
        EXPECT_EQ(buffer.imageLoad, ImageLoad::kFailed);
        EXPECT_EQ(buffer.totalLength, 0u);
        EXPECT_EQ(buffer.chunkCount, 0u);
        EXPECT_EQ(buffer.chunkSize, 0u);
        EXPECT_EQ(buffer.payloadCapacity, 0u);
    }

    TempDirectory directory;
};

TEST(PackageMarkerTest, IsTheSixteenBytePairSequence) {
    const Marker marker = PackageMarker();
    EXPECT_EQ(Hex(marker.data(), marker.size()), "0110022003300440" "0550066007700880");
}

TEST_F(PackageReaderTest, MarkerRightAfterAPartialMatchIsFound) {
    const std::string marker = MarkerBytes();
    for (std::size_t partial = 1; partial < kMarkerLength; ++partial) {
        const std::string executable = "MZ executable part" + marker.substr(0, partial);
        EXPECT_EQ(LocateIn(executable + marker + "package"), static_cast<int64_t>(executable.size() + kMarkerLength))
            << "after a partial match of " << partial << " bytes";
    }
}

TEST_F(PackageReaderTest, FirstOfSeveralMarkersWins) {
    const std::string marker = MarkerBytes();
    EXPECT_EQ(LocateIn(marker + "x" + marker), static_cast<int64_t>(kMarkerLength));
    EXPECT_EQ(LocateIn("abc" + marker + marker), static_cast<int64_t>(3 + kMarkerLength));
}

TEST_F(PackageReaderTest, MarkerAcrossScanBuffersIsFound) {
    const std::string marker = MarkerBytes();
    // The scan reads 64 KiB at a time; put the marker (and a false start) across such a boundary.
    for (std::size_t start : {65536 - 1, 65536 - 8, 65536 - 15, 2 * 65536 - 3}) {
        std::string bytes(start, '\x01');
        bytes += marker + "tail";
        EXPECT_EQ(LocateIn(bytes), static_cast<int64_t>(start + kMarkerLength)) << "marker at " << start;
    }
}

TEST_F(PackageReaderTest, FileWithoutMarkerEndsTheScanAtEndOfFile) {
    const std::string marker = MarkerBytes();
    std::string bytes(300000, '\x01');  // the marker's first byte everywhere, and a prefix at the end
    bytes += marker.substr(0, kMarkerLength - 1);
    EXPECT_EQ(LocateIn(bytes), -1);
    EXPECT_EQ(LocateIn(""), -1);
}

TEST_F(PackageReaderTest, HeaderFieldsAreLittleEndianAndUnaligned) {
    HeaderBlock block{};
    block[0] = 16;
    block[1] = 0xAC;  // 172
    block[6] = 14;
    block[7] = 'Q';
    block[8] = 0x2F;
    block[9] = 0x02;
    block[10] = 0x03;
    block[11] = 0x04;
    uint8_t* entry7 = &block[16 + 13 * 7];
    const uint8_t fields[13] = {1, 0x08, 0, 0, 0, 0xEF, 0xCD, 0xAB, 0x89, 0x44, 0x33, 0x22, 0x11};
    std::copy(fields, fields + 13, entry7);
    block[16 + 13 * 11] = 2;  // presence other than 1

    const PackageHeader header = DecodePackageHeader(block);
    EXPECT_EQ(header.fixedHeaderLength, 16);
    EXPECT_EQ(header.totalHeaderLength, 172u);
    EXPECT_EQ(header.checkByte, 14);
    EXPECT_EQ(header.familyCode, 'Q');
    EXPECT_EQ(header.identificationWord, 0x0403022Fu);
    EXPECT_EQ(header.directory[7].presence, 1u);
    EXPECT_EQ(header.directory[7].id, 8u);
    EXPECT_EQ(header.directory[7].offset, 0x89ABCDEFu);
    EXPECT_EQ(header.directory[7].size, 0x11223344u);
    EXPECT_EQ(header.directory[11].presence, 2u);
    EXPECT_EQ(EncodePackageHeader(header), block);

    imageIdentificationWord = 0;
    DecodePackageDirectory(block);
    EXPECT_EQ(imageIdentificationWord.load(), 0x0403022Fu);
    EXPECT_EQ(packageDirectory[7].offset, 0x89ABCDEFu);
}

TEST_F(PackageReaderTest, ReadPackageHeaderTellsItsOutcomes) {
    HeaderBlock block;
    block.fill(0xEE);
    EXPECT_EQ(ReadPackageHeader("absent.exe", block), HeaderRead::kNotFound);

    std::filesystem::create_directory("folder.exe");
    EXPECT_EQ(ReadPackageHeader("folder.exe", block), HeaderRead::kCannotOpen);

    WriteWholeFile("plain.exe", std::string(5000, 'x'));
    EXPECT_EQ(ReadPackageHeader("plain.exe", block), HeaderRead::kNoPackage);
    EXPECT_EQ(block, HeaderBlock{});

    TestPackage package = TestPackage::WithSizes({10, 20});
    const std::string bytes = package.Bytes();
    const std::size_t headerStart = package.executable.size() + kMarkerLength;
    WriteWholeFile("cut.exe", bytes.substr(0, headerStart + kHeaderBlockLength - 1));
    block.fill(0xEE);
    EXPECT_EQ(ReadPackageHeader("cut.exe", block), HeaderRead::kNoPackage);
    EXPECT_EQ(block, HeaderBlock{});

    WriteWholeFile("whole.exe", bytes);
    EXPECT_EQ(ReadPackageHeader("whole.exe", block), HeaderRead::kRead);
    EXPECT_EQ(block, EncodePackageHeader(package.header));
}

TEST_F(PackageReaderTest, LoadsTheSlotsBytesWithItsChunkCount) {
    // Sizes around the chunk size: less than one, exactly two, two and one byte.
    TestPackage package = TestPackage::WithSizes({100, 464, 2 * 10240, 2 * 10240 + 1, 40});
    Install(package);

    struct Case {
        uint32_t slot;
        uint32_t chunks;
    };
    for (const Case& expected : {Case{1, 1}, Case{2, 2}, Case{3, 3}, Case{4, 1}}) {
        const auto buffer = Load(expected.slot, kHeaderChunkSize);
        ASSERT_EQ(buffer->imageLoad, ImageLoad::kLoaded) << "slot " << expected.slot;
        const std::string& image = *package.images[expected.slot];
        EXPECT_EQ(buffer->totalLength, image.size());
        EXPECT_EQ(buffer->chunkSize, kHeaderChunkSize);
        EXPECT_EQ(buffer->chunkCount, expected.chunks) << "slot " << expected.slot;
        EXPECT_EQ(PayloadText(*buffer), image);
    }
}

TEST_F(PackageReaderTest, PresentSlotOfSizeZeroIsAnEmptySlotNotAFailure) {
    TestPackage package = TestPackage::WithSizes({10, 0, 30});
    Install(package);
    const auto buffer = Load(1);
    EXPECT_EQ(buffer->imageLoad, ImageLoad::kEmptySlot);
    EXPECT_EQ(buffer->totalLength, 0u);
    EXPECT_EQ(buffer->chunkCount, 0u);
    EXPECT_EQ(Load(2)->imageLoad, ImageLoad::kLoaded);
}

TEST_F(PackageReaderTest, AbsentSlotRequestedAnywayIsAFailedLoad) {
    TestPackage package = TestPackage::WithSizes({10, 20, 30});
    package.images[2].reset();
    package.LayOut();
    Install(package);
    ExpectFailed(*Load(2));
    // Slots beyond the given sizes are absent too, and no index past the directory loads.
    ExpectFailed(*Load(9));
    ExpectFailed(*Load(kSlotCount));
    EXPECT_EQ(Load(1)->imageLoad, ImageLoad::kLoaded);
}

TEST_F(PackageReaderTest, EntryOutsideTheFileFailsWithoutAllocatingItsSize) {
    TestPackage package = TestPackage::WithSizes({10, 20, 30});
    package.header.directory[0] = {1, 1, 0xFFFFFFF0u, 0x20};   // past the end
    package.header.directory[1] = {1, 2, 172, 0xFFFFFFF0u};    // a promise of 4 GiB
    package.header.directory[2] = {1, 3, 0xFFFFFFFFu, 0xFFFFFFFFu};  // would wrap in 32 bits
    Install(package);
    for (uint32_t slot = 0; slot < 3; ++slot) ExpectFailed(*Load(slot));

    PackageFile file;
    ASSERT_TRUE(file.Open(executableFileName));
    uint64_t size = 0;
    uint64_t base = 0;
    ASSERT_TRUE(file.QuerySize(size) && LocatePackage(file, base));
    for (uint32_t slot = 0; slot < 3; ++slot) {
        int allocations = 0;
        EXPECT_EQ(ReadEntry(file, size, base, package.header.directory[slot],
                            [&allocations](uint32_t) -> uint8_t* {
                                ++allocations;
                                return nullptr;
                            }),
                  EntryRead::kOutsideFile);
        EXPECT_EQ(allocations, 0) << "slot " << slot;
    }
    // The last byte of the file is still inside.
    const DirectoryEntry last{1, 1, static_cast<uint32_t>(size - base - 1), 1};
    std::vector<uint8_t> byte(1);
    EXPECT_EQ(ReadEntry(file, size, base, last, [&byte](uint32_t) { return byte.data(); }), EntryRead::kRead);
}

TEST_F(PackageReaderTest, TruncatedPackageFailsTheCutImageOnly) {
    TestPackage package = TestPackage::WithSizes({10, 20, 30});
    const std::string bytes = package.Bytes();
    InstallProgramFile(bytes.substr(0, bytes.size() - 1));
    DecodePackageDirectory(EncodePackageHeader(package.header));
    ExpectFailed(*Load(2));
    EXPECT_EQ(Load(1)->imageLoad, ImageLoad::kLoaded);

#ifndef _WIN32
    // Cut after the load (POSIX reads each chunk as it is framed; Windows reads the image
    // whole at load): the chunks still inside frame, the one past the cut frames nothing.
    package = TestPackage::WithSizes({10, 2 * kHeaderChunkSize + 5});
    Install(package);
    const auto buffer = Load(1, kHeaderChunkSize);
    ASSERT_EQ(buffer->chunkCount, 3u);
    std::filesystem::resize_file(executableFileName, package.Bytes().size() - 1);
    const uint8_t header[1] = {0x07};
    EXPECT_TRUE(buffer->BuildFrame(header, 1, 1));
    EXPECT_GT(buffer->framedLength, kHeaderChunkSize);
    EXPECT_FALSE(buffer->BuildFrame(header, 1, 2));
    EXPECT_EQ(buffer->framedLength, 0u);
#endif
}

TEST_F(PackageReaderTest, MissingFileOrMissingMarkerFailsTheLoad) {
    TestPackage package = TestPackage::WithSizes({10, 20});
    Install(package);
    SetExecutableFileName("gone.exe");
    ExpectFailed(*Load(1));

    InstallProgramFile(std::string(100000, '\x01'));
    ExpectFailed(*Load(1));
}

TEST_F(PackageReaderTest, ImagesAreFoundAfterAnExecutableEndingInAMarkerPrefix) {
    TestPackage package = TestPackage::WithSizes({10, 20});
    package.executable = "MZ" + MarkerBytes().substr(0, 2);
    Install(package);
    const auto buffer = Load(1);
    ASSERT_EQ(buffer->imageLoad, ImageLoad::kLoaded);
    EXPECT_EQ(PayloadText(*buffer), *package.images[1]);
}

}  // namespace
