#include <gtest/gtest.h>

#include "session/process_values.h"
#include "session/session_driver.h"
#include "tests/support/recording_window.h"

namespace {
class StepLabelTest : public ::testing::Test {
protected:
    void SetUp() override { mainWindow = &window; }
    void TearDown() override {
        mainWindow = nullptr;
        accessMode = kAccessLocked;
    }
    RecordingWindow window;
};

void ExpectRectangle(const LabelRequest& label, int control, int top, int width) {
    EXPECT_EQ(label.labelControl, control);
    EXPECT_EQ(label.left, 248);
    EXPECT_EQ(label.top, top);
    EXPECT_EQ(label.height, 30);
    EXPECT_EQ(label.width, width);
}
}  // namespace

TEST_F(StepLabelTest, NormalModeTextsAndPlaces) {
    accessMode = kAccessNormal;
    ShowStepLabel(0, 0);
    ShowStepLabel(1, 0);
    ShowStepLabel(2, 2);
    ShowStepLabel(3, 3);
    ShowStepLabel(5, 4);
    ShowStepLabel(9, 5);  // unknown kinds send nothing
    ShowStepLabel(-1, 5);

    auto labels = window.Labels();
    ASSERT_EQ(labels.size(), 5u);
    ExpectRectangle(labels[0], 3025, 50, 200);
    ExpectRectangle(labels[1], 3017, 80, 350);
    ExpectRectangle(labels[2], 3018, 110, 350);
    ExpectRectangle(labels[3], 3019, 30 * 3 + 48, 350);  // the QCSBL row sits two pixels higher
    ExpectRectangle(labels[4], 3022, 30 * 4 + 50, 350);
    EXPECT_EQ(window.LabelTexts(),
              (std::vector<std::string>{"Now Upgrading the Items:", "Step 0. Installing Agent",
                                        "Step 1. Sending Support Info.", "Step 2. Upgrading 1st Image.",
                                        "Step 3. Upgrading 3rd Image."}));
}

TEST_F(StepLabelTest, StatusTextIsSetBeforeTheLabelForKindsTwoToSeven) {
    accessMode = kAccessNormal;
    ShowStepLabel(1, 0);
    ShowStepLabel(7, 3);
    ShowStepLabel(8, 4);
    EXPECT_EQ(window.Events(), (std::vector<std::string>{
                                   "label 3017 Step 0. Installing Agent",
                                   "text 1006 \r\nOpen Flash.bin",
                                   "label 3023 Step 2. Upgrading 5th Image.",
                                   "label 3023 Step 3. Upgrading 6th Image.",
                               }));
}

TEST_F(StepLabelTest, ServiceModeTexts) {
    accessMode = kAccessService;
    EXPECT_EQ(StepLabelText(1, 0), "0. Send Download Agent");
    EXPECT_EQ(StepLabelText(3, 3), "2. Send QC secendary boot loader Image ");
    EXPECT_EQ(StepLabelText(4, 3), "2. Send OEM secendary boot loader Image");
    EXPECT_EQ(StepLabelText(5, 3), "2. Send AMSS Image");
    EXPECT_EQ(StepLabelText(6, 3), "2. Send Application boot loader Image");
    EXPECT_EQ(StepLabelText(7, 3), "2. Send Flash.bin");
    EXPECT_EQ(StepLabelText(8, 3), "2. Send CEFS");
    EXPECT_EQ(StepLabelText(0, 0), "Now Upgrading the Items:");
}

TEST_F(StepLabelTest, ServiceModePartitionLabelFollowsCefsAndFotaBoxes) {
    accessMode = kAccessService;
    struct Case {
        bool cefs, fota;
        const char* label;
    } cases[] = {
        {true, true, "1. Send Partition Table & FOTA & CEFS"},
        {true, false, "1. Send Partition Table"},
        {false, true, "1. Send Partition Table & FOTA"},
        {false, false, "1. Send Partition Table"},
    };
    for (const Case& c : cases) {
        window.SetCheck(kControlCefs, c.cefs);
        window.SetCheck(kControlFota, c.fota);
        EXPECT_EQ(StepLabelText(2, 2), c.label) << c.cefs << c.fota;
    }
}
