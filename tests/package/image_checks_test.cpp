// The checks that the program file and its package suit the run: the run-start checks on
// the worker thread and the Next-button check (its paths that return), plus the
// accepted-version lists that the Next check publishes.
#include <gtest/gtest.h>

#include <filesystem>

#include "package/accepted_versions.h"
#include "package/image_checks.h"
#include "package/package_header.h"
#include "session/process_values.h"
#include "session/run_settings.h"
#include "session/session_state.h"
#include "session/trace_log.h"
#include "session/window_seam.h"
#include "tests/package/package_builder.h"
#include "tests/support/recording_window.h"
#include "tests/support/temp_directory.h"

namespace {

void SetSwitches(int qcsbl, int oemsbl, int amss, int appsboot, int flashBin, int cefs) {
    runSettings.writeQcsbl = qcsbl;
    runSettings.writeOemsbl = oemsbl;
    runSettings.writeAmss = amss;
    runSettings.writeAppsboot = appsboot;
    runSettings.writeFlashBin = flashBin;
    runSettings.writeCefs = cefs;
}

class ImageChecksTest : public ::testing::Test {
protected:
    void SetUp() override {
        session.window = &window;
        currentSession = &session;
        accessMode = kAccessNormal;
        acceptedVersions = AcceptedVersionList{};
        SetSwitches(1, 1, 1, 1, 1, 1);
    }
    void TearDown() override {
        Trace().Close();
        currentSession = nullptr;
        accessMode = kAccessLocked;
    }

    // A package of small images in every slot but the ones named.
    static void InstallWithout(std::initializer_list<uint32_t> absent, uint8_t checkByte = 14, uint8_t family = 'C') {
        TestPackage package = TestPackage::WithSizes(std::vector<uint32_t>(kSlotCount, 8));
        for (uint32_t slot : absent) package.images[slot].reset();
        package.LayOut();
        package.header.checkByte = checkByte;
        package.header.familyCode = family;
        InstallProgramFile(package.Bytes());
    }

    static std::string MissingList() {
        std::string list;
        const int result = CheckImageSet(list);
        EXPECT_EQ(result, list.empty() ? 1 : 0) << list;
        return list;
    }

    TempDirectory directory;
    RecordingWindow window;
    SessionState session;
};

TEST_F(ImageChecksTest, ProgramFilePresentPassesQuietly) {
    InstallWithout({});
    EXPECT_EQ(CheckProgramFile(), 1);
    EXPECT_TRUE(window.Events().empty());
}

TEST_F(ImageChecksTest, MissingProgramFileIsShownTracedAndTheTraceClosed) {
    SetExecutableFileName("Veltrane.exe");
    ASSERT_TRUE(Trace().Open());
    EXPECT_EQ(CheckProgramFile(), 0);
    EXPECT_EQ(window.GetControlText(kControlStatusText), "NO File: Veltrane.exe");
    // The wizard shows the failure instead of staying busy in silence.
    EXPECT_EQ(window.Events().back(), "checking line 1 1");
    EXPECT_FALSE(Trace().IsOpen());
    EXPECT_EQ(ReadWholeFile("trace.txt"), "NO File: Veltrane.exe");
}

TEST_F(ImageChecksTest, CompletePackagePassesForAnySelection) {
    InstallWithout({});
    for (int mask = 0; mask < 64; mask += 7) {
        SetSwitches(mask & 1, mask >> 1 & 1, mask >> 2 & 1, mask >> 3 & 1, mask >> 4 & 1, mask >> 5 & 1);
        EXPECT_EQ(MissingList(), "") << "switches " << mask;
    }
}

TEST_F(ImageChecksTest, EachMissingPairIsNamedInRunOrder) {
    InstallWithout({kSlotCefs});
    EXPECT_EQ(MissingList(), "NO cefs ");
    runSettings.writeCefs = 0;
    EXPECT_EQ(MissingList(), "");

    InstallWithout({kSlotAmssHeader, kSlotAmss});
    EXPECT_EQ(MissingList(), "NO AMSS_header NO AMSS ");

    InstallWithout({kSlotAppsbootHeader, kSlotAppsboot});
    EXPECT_EQ(MissingList(), "NO appsboots_header NO appsboots ");

    // The programmer travels as a resource, yet its slot is still required.
    InstallWithout({kSlotProgrammer});
    SetSwitches(0, 0, 0, 0, 0, 0);
    EXPECT_EQ(MissingList(), "NO HEX ");
}

TEST_F(ImageChecksTest, AnEmptyHeaderThatAnOpenMustCarryCountsAsMissing) {
    TestPackage package = TestPackage::WithSizes(std::vector<uint32_t>(kSlotCount, 8));
    package.images[kSlotAmssHeader] = std::string();
    package.images[kSlotQcsblHeader] = std::string();  // written as an image of its own: empty is fine
    package.images[kSlotCefs] = std::string();
    package.LayOut();
    InstallProgramFile(package.Bytes());
    EXPECT_EQ(MissingList(), "NO AMSS_header ");
    runSettings.writeAmss = 0;
    EXPECT_EQ(MissingList(), "");
}

TEST_F(ImageChecksTest, PresenceOtherThanOneCountsAsAbsent) {
    TestPackage package = TestPackage::WithSizes(std::vector<uint32_t>(kSlotCount, 8));
    package.header.directory[kSlotFlashBin].presence = 2;
    InstallProgramFile(package.Bytes());
    EXPECT_EQ(MissingList(), "NO FLASH.bin ");
}

TEST_F(ImageChecksTest, FileWithoutPackageFailsWithEverySelectedImage) {
    InstallProgramFile(std::string(200000, '\x01'));
    EXPECT_EQ(MissingList(),
              "NO HEX NO partition NO qcsbl_header NO qcsbl NO oemsbl_header NO oemsbl NO AMSS_header NO AMSS "
              "NO appsboots_header NO appsboots NO FLASH.bin NO cefs ");
}

TEST_F(ImageChecksTest, RunStartCheckPublishesDirectoryAndIdentificationWord) {
    TestPackage package = TestPackage::WithSizes({5, 6, 7});
    package.header.identificationWord = 0x1234;
    InstallProgramFile(package.Bytes());
    imageIdentificationWord = 0;
    std::string list;
    CheckImageSet(list);
    EXPECT_EQ(imageIdentificationWord.load(), 0x1234u);
    EXPECT_EQ(packageDirectory[2].size, 7u);
    EXPECT_EQ(packageDirectory[2].offset, 172u + 5 + 6);
}

TEST_F(ImageChecksTest, VanishedProgramFileFailsWithTheListUnchanged) {
    SetExecutableFileName("gone.exe");
    std::string list;
    EXPECT_EQ(CheckImageSet(list), 0);
    EXPECT_EQ(list, "");
}

TEST_F(ImageChecksTest, NextCheckReportsMissingAndUnopenableFiles) {
    SetExecutableFileName("gone.exe");
    EXPECT_EQ(CheckPackageAtNext(), 1);
    std::filesystem::create_directory("folder.exe");
    SetExecutableFileName("folder.exe");
    EXPECT_EQ(CheckPackageAtNext(), -1);
}

TEST_F(ImageChecksTest, NextCheckInServiceModeReadsNothing) {
    accessMode = kAccessService;
    imageIdentificationWord = 5;
    SetExecutableFileName("gone.exe");
    EXPECT_EQ(CheckPackageAtNext(), 0);
    EXPECT_EQ(imageIdentificationWord.load(), 5u);
    EXPECT_EQ(acceptedVersions.count, 0u);
}

TEST_F(ImageChecksTest, NextCheckPublishesFamilyAndWordAndKeepsListForUnknownFamily) {
    InstallWithout({}, 14, 'A');
    imageIdentificationWord = 0;
    EXPECT_EQ(CheckPackageAtNext(), 0);
    EXPECT_EQ(imageIdentificationWord.load(), 47u);
    ASSERT_EQ(acceptedVersions.count, 2u);
    EXPECT_EQ(acceptedVersions.versions[1], 'B');

    InstallWithout({}, 14, 'Z');
    EXPECT_EQ(CheckPackageAtNext(), 0);
    EXPECT_EQ(acceptedVersions.count, 2u);
    EXPECT_EQ(acceptedVersions.versions[0], 'A');
    EXPECT_EQ(acceptedVersions.last, 1u);
}

TEST(AcceptedVersionsTest, EachFamilyHasItsListAndRange) {
    const struct {
        char family;
        const char* versions;
    } table[] = {{'A', "AB"}, {'C', "CFGKJLMN"}, {'2', "2"}, {'3', "3"}, {'4', "6"}, {'5', "79?8:;"}, {'Q', "RST"}};
    for (const auto& row : table) {
        acceptedVersions = AcceptedVersionList{};
        ASSERT_TRUE(FillAcceptedVersions(static_cast<uint8_t>(row.family)));
        const std::string held(acceptedVersions.versions.begin(), acceptedVersions.versions.begin() + acceptedVersions.count);
        EXPECT_EQ(held, row.versions) << "family " << row.family;
        EXPECT_EQ(acceptedVersions.first, 0u);
        EXPECT_EQ(acceptedVersions.last, acceptedVersions.count - 1);
    }
    EXPECT_FALSE(FillAcceptedVersions('B'));
    EXPECT_EQ(acceptedVersions.count, 3u);  // still 'Q'
}

TEST(AcceptedVersionsTest, OnlyEntriesHeldAndInRangeAccept) {
    AcceptedVersionList list;
    EXPECT_FALSE(VersionAccepted(list, 0));  // empty: range 0..0 points past the list
    FillAcceptedVersions('4');
    EXPECT_TRUE(VersionAccepted(acceptedVersions, '6'));
    EXPECT_FALSE(VersionAccepted(acceptedVersions, '4'));
    FillAcceptedVersions('C');
    list = acceptedVersions;
    list.first = 2;
    list.last = 3;
    EXPECT_TRUE(VersionAccepted(list, 'K'));
    EXPECT_FALSE(VersionAccepted(list, 'C'));
    EXPECT_FALSE(VersionAccepted(list, 'J'));
}

}  // namespace
