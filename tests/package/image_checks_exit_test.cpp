// A package with the wrong check byte ends the process at the Next button. Each case runs
// in a child process and reports the box it showed on its error stream.
#include <gtest/gtest.h>

#include <cstdio>

#include "package/accepted_versions.h"
#include "package/image_checks.h"
#include "session/message_box.h"
#include "session/process_values.h"
#include "session/session_window.h"
#include "session/window_seam.h"
#include "tests/package/package_builder.h"
#include "tests/support/temp_directory.h"

namespace {

// A main window whose message boxes have a recognisable owner.
class OwnerWindow final : public QuietWindow {
public:
    void* OwnerHandle() override { return this; }
};

class WrongCheckByteTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        mainWindow = &window;
        accessMode = kAccessNormal;
        acceptedVersions = AcceptedVersionList{};
        // The box reports its text, its caption, whether the main window owns it, and the
        // accepted-version list in force when it was shown.
        SetMessageBoxHandler([this](const char* text, const char* caption, void* owner) {
            std::fprintf(stderr, "box [%s] caption [%s] owner [%s] versions [%.*s]\n", text,
                         caption ? caption : "none", owner == &window ? "main window" : "other",
                         static_cast<int>(acceptedVersions.count),
                         reinterpret_cast<const char*>(acceptedVersions.versions.data()));
        });
    }
    void TearDown() override {
        SetMessageBoxHandler(nullptr);
        mainWindow = nullptr;
        accessMode = kAccessLocked;
    }

    TempDirectory directory;
    OwnerWindow window;
};

TEST_P(WrongCheckByteTest, EndsTheProcessAfterTakingOverTheFamily) {
    TestPackage package = TestPackage::WithSizes({8, 8});
    package.header.checkByte = static_cast<uint8_t>(GetParam());
    package.header.familyCode = 'A';
    InstallProgramFile(package.Bytes());
    EXPECT_EXIT(CheckPackageAtNext(), ::testing::ExitedWithCode(1),
                "box \\[Wrong Image-w\\] caption \\[none\\] owner \\[main window\\] versions \\[AB\\]");
}

INSTANTIATE_TEST_SUITE_P(NeighboursOfFourteen, WrongCheckByteTest, ::testing::Values(13, 15));

TEST(NoPackageAtNextTest, FileWithoutMarkerIsRefusedLikeAWrongCheckByte) {
    TempDirectory directory;
    accessMode = kAccessNormal;
    SetMessageBoxHandler([](const char* text, const char*, void*) { std::fprintf(stderr, "box [%s]\n", text); });
    InstallProgramFile(std::string(70000, '\x01'));
    EXPECT_EXIT(CheckPackageAtNext(), ::testing::ExitedWithCode(1), "box \\[Wrong Image-w\\]");
    SetMessageBoxHandler(nullptr);
    accessMode = kAccessLocked;
}

}  // namespace
