#include <gtest/gtest.h>

#include "package/image_slots.h"
#include "protocol/streaming_commands.h"
#include "session/process_values.h"
#include "session/run_settings.h"
#include "tests/streaming/streaming_fixture.h"
#include "transport/port_io.h"

namespace {

class StreamingCommandsTest : public StreamingFixture {
protected:
    std::string PartitionImage() {
        TestPackage package = SmallPackage();
        return PatternBytesOf(package, kSlotPartition);
    }
    static std::string PatternBytesOf(TestPackage package, int slot) {
        package.LayOut();
        return *package.images[slot];
    }
    int ImageSwitches() {
        return runSettings.writeQcsbl + runSettings.writeOemsbl + runSettings.writeAmss + runSettings.writeAppsboot +
               runSettings.writeFlashBin + runSettings.writeCefs;
    }
};

}  // namespace

TEST_F(StreamingCommandsTest, HelloSendsTheHostNameAndVersionsAndAcceptsAnyReplyStartingWithTwo) {
    port.QueueReply(Bytes({0x02, 0x51, 0x43, 0x4F, 0x4D, 0xFF, 0x00}));
    EXPECT_EQ(SendHello(), 1);
    ASSERT_EQ(SentContents().size(), 1u);
    std::vector<uint8_t> expected = Concat(Bytes({0x01}), "QCOM fast download protocol host");
    expected.insert(expected.end(), {0x03, 0x02, 0x01});
    EXPECT_EQ(SentContents()[0], expected);
    EXPECT_EQ(TraceText(),
              "==============start Initial Targ =============\n==============start Initial Targ =============\n"
              "==============prepare memory allocation =============\n=============prepare send =============\n"
              "OK InitTagOK InitTag");
}

TEST_F(StreamingCommandsTest, SecurityModeSelectsModeOne) {
    port.QueueReply(Bytes({0x0E}));  // not the security reply: sent again after 100 ms
    port.QueueReply(Bytes({0x18}));
    EXPECT_EQ(SendSecurityMode(), 1);
    EXPECT_EQ(SentContents(), (std::vector<std::vector<uint8_t>>{Bytes({0x17, 0x01}), Bytes({0x17, 0x01})}));
    EXPECT_EQ(time.clock.SleptMs(), 100u);
    std::string trace = TraceText();
    EXPECT_EQ(trace.rfind("==============start secrete  =============\n==============start secrete  =============\n"
                          "==============prepare buffer  =============\n==============sned commmand =============\n",
                          0),
              0u);
    EXPECT_NE(trace.find("Error code not match: Send 0 ,Rev. 0 Send byte 6 receive"), std::string::npos);
    EXPECT_TRUE(EndsWith(trace, "\rOK Secret\nOK Secret\n"));
}

TEST_F(StreamingCommandsTest, PartitionTableGoesInOneFrameWithTheOverrideSetting) {
    runSettings.partitionOverride = 1;
    currentImageIndex = kSlotPartition;
    port.QueueReply(Bytes({0x1A, 0x00}));
    EXPECT_EQ(SendPartitionTable(), 1);
    ASSERT_EQ(SentContents().size(), 1u);
    EXPECT_EQ(SentContents()[0], Concat(Bytes({0x19, 0x01}), PartitionImage()));
    EXPECT_EQ(Occurrences(TraceText(), "OK Partition\n"), 2u);
}

TEST_F(StreamingCommandsTest, StatusOneSwitchesEveryStageOnAndResendsWithOverride) {
    port.QueueReply(Bytes({0x1A, 0x01}));
    port.QueueReply(Bytes({0x1A, 0x00}));
    EXPECT_EQ(SendPartitionTable(), 1);
    auto sent = SentContents();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][1], 0);
    EXPECT_EQ(sent[1][1], 1);
    EXPECT_EQ(ImageSwitches(), 6);
    EXPECT_EQ(runSettings.partitionOverride, 0);  // the setting itself stays
    EXPECT_EQ(time.clock.SleptMs(), 100u);
}

TEST_F(StreamingCommandsTest, StatusOneIsRefusedWhenThePackageCannotSupplyEveryImage) {
    // No CEFS image; or a header that an open must carry, present but empty (that open
    // could only fail, with QCSBL already written under the new table).
    const struct {
        uint32_t slot;
        bool present;
        const char* traced;
    } cases[] = {{kSlotCefs, false, "Can't Load cefs_modem.mbn\n"},
                 {kSlotOemsblHeader, true, "Can't Load oemsblhd.mbn\n"},
                 {kSlotAppsbootHeader, true, "Can't Load appsboothd.mbn\n"}};
    for (const auto& missing : cases) {
        TestPackage package = SmallPackage();
        if (missing.present)
            package.images[missing.slot] = std::string();
        else
            package.images[missing.slot].reset();
        InstallPackage(package);
        const size_t sentBefore = SentContents().size();
        port.QueueReply(Bytes({0x1A, 0x01}));
        EXPECT_EQ(SendPartitionTable(), 0) << missing.traced;
        EXPECT_EQ(SentContents().size(), sentBefore + 1);  // the table never went with override 1
        EXPECT_EQ(ImageSwitches(), 3);                     // AMSS, APPSBOOT, FLASH.bin as before
        EXPECT_NE(TraceText().find(missing.traced), std::string::npos);
    }
}

TEST_F(StreamingCommandsTest, OtherStatusIsAMismatchWithTheOverrideUnchanged) {
    port.QueueReply(Bytes({0x1A, 0x02}));
    port.QueueReply(Bytes({0x1A, 0x00}));
    EXPECT_EQ(SendPartitionTable(), 1);
    auto sent = SentContents();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1][1], 0);
    EXPECT_EQ(ImageSwitches(), 3);
    EXPECT_EQ(time.clock.SleptMs(), 100u);
}

TEST_F(StreamingCommandsTest, AfterATimeOutTheNextAttemptOnlyReads) {
    port.QueueReadFailure(-1);
    port.QueueReply(Bytes({0x1A, 0x00}));
    EXPECT_EQ(SendPartitionTable(), 1);
    EXPECT_EQ(SentContents().size(), 1u);  // the late reply was taken without a resend
    EXPECT_EQ(time.clock.SleptMs(), 2000u);
    EXPECT_EQ(Occurrences(TraceText(), "==============send =============\n"), 2u);
}

TEST_F(StreamingCommandsTest, ThirtyOneCyclesOfFortyOneFailuresEndTheCommand) {
    // Nothing ever answers: every read times out. Each cycle resends once, then only reads.
    EXPECT_EQ(SendPartitionTable(), 0);
    EXPECT_EQ(SentContents().size(), 31u);
    EXPECT_EQ(port.ReadWaits().size(), 31u * 41u);
    std::string trace = TraceText();
    EXPECT_TRUE(EndsWith(trace, "\nCan't Send or Received\n"));
    EXPECT_EQ(time.clock.SleptMs(), (31u * 41u - 1u) * 2000u);
}

TEST_F(StreamingCommandsTest, ServiceModeTakesTheOverrideFromTheErasedBox) {
    accessMode = kAccessService;
    runSettings.partitionOverride = 0;
    window.SetCheck(kControlErased, true);
    port.QueueReply(Bytes({0x1A, 0x00}));
    EXPECT_EQ(SendPartitionTable(), 1);
    EXPECT_EQ(SentContents()[0][1], 1);
}

TEST_F(StreamingCommandsTest, ResetTracesNothingAndClosesThePortWhenAcknowledged) {
    port.QueueReply(Bytes({0x0C}));
    EXPECT_EQ(SendReset(), 1);
    EXPECT_EQ(SentContents(), (std::vector<std::vector<uint8_t>>{Bytes({0x0B})}));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(TraceText(), "");
}

TEST_F(StreamingCommandsTest, FailedResetLeavesThePortOpenAndTracesNothing) {
    EXPECT_EQ(SendReset(), 0);
    EXPECT_EQ(SentContents().size(), 31u);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(TraceText(), "");
}

// A port that says it is gone for good ends the exchange after the attempt that failed, in
// the partition table's cycles as in every other command: no retry budget spent on it.
TEST_F(StreamingCommandsTest, APortGoneForGoodEndsTheCommandAtItsFirstFailure) {
    currentImageIndex = kSlotPartition;
    port.SetGoneForGood();
    for (int i = 0; i < 3; ++i) port.QueueReadFailure(-1);
    EXPECT_EQ(SendPartitionTable(), 0);
    EXPECT_EQ(SendSecurityMode(), 0);
    EXPECT_EQ(port.RepliesLeft(), 1u);  // one read each
    EXPECT_EQ(time.clock.SleptMs(), 0u);
    const std::string trace = TraceText();
    EXPECT_TRUE(EndsWith(trace, "Error code: Send 0 ,Rev. -1 Send byte 6 receive 0:\n")) << trace;
    EXPECT_EQ(trace.find("Can't Send or Received"), std::string::npos) << trace;
}
