// The service-mode image folder: what "dir.txt" remembers, and the choice through a
// stand-in for the system's folder chooser.
#include <gtest/gtest.h>

#include <filesystem>

#include "package/image_folder.h"
#include "package/image_folder_memory.h"
#include "session/session_state.h"
#include "tests/support/temp_directory.h"

namespace {

class ImageFolderTest : public ::testing::Test {
protected:
    // A chooser that records where it started and answers as told.
    FolderChooser Chooser(bool choose, std::string answer = {}) {
        return [this, choose, answer](void* owner, const std::string& start, std::string& chosen) {
            seenOwner = owner;
            seenStart = start;
            if (choose) chosen = answer;
            return choose;
        };
    }

    TempDirectory directory;
    SessionState session;
    void* seenOwner = nullptr;
    std::string seenStart;
};

TEST_F(ImageFolderTest, MissingFileStartsAtDriveRootAndIsCreatedEmpty) {
    EXPECT_EQ(ReadRememberedFolder(), "C:\\");
    ASSERT_TRUE(std::filesystem::exists("dir.txt"));
    EXPECT_EQ(std::filesystem::file_size("dir.txt"), 0u);
    EXPECT_EQ(ReadRememberedFolder(), "C:\\");
}

TEST_F(ImageFolderTest, PathEndsAtTheFirstSemicolon) {
    WriteWholeFile("dir.txt", "D:\\fw\\;old\\longer\\path\\;");
    EXPECT_EQ(ReadRememberedFolder(), "D:\\fw\\");
    WriteWholeFile("dir.txt", "D:\\no terminator\\");
    EXPECT_EQ(ReadRememberedFolder(), "D:\\no terminator\\");
    WriteWholeFile("dir.txt", ";");
    EXPECT_EQ(ReadRememberedFolder(), "C:\\");
}

TEST_F(ImageFolderTest, ContentLongerThanThePathBuffer) {
    const std::string longest(kFolderPathBuffer - 1, 'p');
    WriteWholeFile("dir.txt", longest + ";" + std::string(3000, 'r'));
    EXPECT_EQ(ReadRememberedFolder(), longest);

    // The ';' lies beyond what the buffer holds: no remembered folder.
    WriteWholeFile("dir.txt", std::string(kFolderPathBuffer, 'p') + ";");
    EXPECT_EQ(ReadRememberedFolder(), "C:\\");
    WriteWholeFile("dir.txt", std::string(5000, 'p'));
    EXPECT_EQ(ReadRememberedFolder(), "C:\\");
}

TEST_F(ImageFolderTest, WritingKeepsTheRemnantsOfALongerPath) {
    WriteWholeFile("dir.txt", "D:\\a much longer folder\\;");
    ASSERT_TRUE(WriteRememberedFolder("E:\\fw\\"));
    EXPECT_EQ(ReadWholeFile("dir.txt"), "E:\\fw\\;ch longer folder\\;");
    EXPECT_EQ(ReadRememberedFolder(), "E:\\fw\\");
}

TEST_F(ImageFolderTest, ChosenFolderBecomesTheImageFolderAndIsRemembered) {
    WriteWholeFile("dir.txt", "D:\\last\\;");
    int owner = 0;
    EXPECT_EQ(ChooseImageFolderWith(Chooser(true, "E:\\images"), &owner, session), 1);
    EXPECT_EQ(seenOwner, &owner);
    EXPECT_EQ(seenStart, "D:\\last\\");
    EXPECT_EQ(session.imageFolder, "E:\\images\\");
    EXPECT_EQ(ReadRememberedFolder(), "E:\\images\\");

    // A drive root already ends in its backslash.
    EXPECT_EQ(ChooseImageFolderWith(Chooser(true, "F:\\"), nullptr, session), 1);
    EXPECT_EQ(session.imageFolder, "F:\\");
}

TEST_F(ImageFolderTest, CancelChangesNothingAndLeavesAnEmptyFileBehind) {
    session.imageFolder = "G:\\kept\\";
    EXPECT_EQ(ChooseImageFolderWith(Chooser(false), nullptr, session), 0);
    EXPECT_EQ(seenStart, "C:\\");
    EXPECT_EQ(session.imageFolder, "G:\\kept\\");
    EXPECT_EQ(ReadWholeFile("dir.txt"), "");
}

}  // namespace
