#include <gtest/gtest.h>

#include "session/process_values.h"
#include "session/run_settings.h"
#include "tests/support/recording_window.h"
#include "tests/support/temp_directory.h"

namespace {

std::string Switches() {
    // Order of the file: CEFS, override, QCSBL, OEMSBL, AMSS, APPSBOOT, FLASH.bin.
    std::string text;
    for (int value : {runSettings.writeCefs.load(), runSettings.partitionOverride.load(),
                      runSettings.writeQcsbl.load(), runSettings.writeOemsbl.load(), runSettings.writeAmss.load(),
                      runSettings.writeAppsboot.load(), runSettings.writeFlashBin.load()})
        text += static_cast<char>('0' + value);
    return text;
}

class RunSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        mainWindow = &window;
        EnableAllImageStages();
        runSettings.partitionOverride = 1;
        window.SetCheck(kControlErased, true);
    }
    void TearDown() override { mainWindow = nullptr; }

    TempDirectory directory;
    RecordingWindow window;
};

}  // namespace

TEST_F(RunSettingsTest, MissingFileAppliesDefaultsAndKeepsOverride) {
    ReadRunSettings();
    EXPECT_EQ(Switches(), "0100111");
    EXPECT_TRUE(window.GetCheck(kControlErased));
}

TEST_F(RunSettingsTest, SixBytesCountAsMissing) {
    WriteWholeFile("a.ini", "111111");
    ReadRunSettings();
    EXPECT_EQ(Switches(), "0100111");
    EXPECT_TRUE(window.GetCheck(kControlErased));
}

TEST_F(RunSettingsTest, SevenZerosSwitchEverythingOffAndClearTheBox) {
    WriteWholeFile("a.ini", "0000000");
    ReadRunSettings();
    EXPECT_EQ(Switches(), "0000000");
    EXPECT_FALSE(window.GetCheck(kControlErased));
}

TEST_F(RunSettingsTest, OnlyTheCharacterOneSwitchesOn) {
    WriteWholeFile("a.ini", "1Y2 1\x01" "1");
    ReadRunSettings();
    EXPECT_EQ(Switches(), "1000101");
    EXPECT_FALSE(window.GetCheck(kControlErased));
}

TEST_F(RunSettingsTest, FirstByteSteersCefsSecondTheOverride) {
    WriteWholeFile("a.ini", "1000000");
    ReadRunSettings();
    EXPECT_EQ(runSettings.writeCefs, 1);
    EXPECT_EQ(runSettings.writeQcsbl, 0);
    EXPECT_EQ(runSettings.partitionOverride, 0);

    WriteWholeFile("a.ini", "0100000\r\ntrailing lines are ignored");
    ReadRunSettings();
    EXPECT_EQ(Switches(), "0100000");
    EXPECT_TRUE(window.GetCheck(kControlErased));
}
