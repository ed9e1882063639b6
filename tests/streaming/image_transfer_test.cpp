#include <gtest/gtest.h>

#include "package/image_slots.h"
#include "protocol/image_transfer.h"
#include "session/process_values.h"
#include "tests/streaming/streaming_fixture.h"
#include "transport/port_io.h"

namespace {

constexpr uint32_t kChunk = 798720;

class ImageTransferTest : public StreamingFixture {
protected:
    std::string Image(int slot) {
        TestPackage package = SmallPackage();
        package.LayOut();
        return *package.images[slot];
    }
    // Acknowledges `count` stream writes in order from chunk `first`.
    void AcknowledgeChunks(uint32_t first, uint32_t count) {
        for (uint32_t k = first; k < first + count; ++k) port.QueueReply(WriteAck(k * kChunk));
    }
    static std::vector<uint8_t> WriteAck(uint32_t address) {
        return Bytes({0x08, static_cast<int>(address & 0xFF), static_cast<int>((address >> 8) & 0xFF),
                      static_cast<int>((address >> 16) & 0xFF), static_cast<int>(address >> 24)});
    }
    static uint32_t AddressOf(const std::vector<uint8_t>& content) {
        return content[1] | content[2] << 8 | content[3] << 16 | static_cast<uint32_t>(content[4]) << 24;
    }
};

}  // namespace

TEST_F(ImageTransferTest, ImageOfTwoChunksAndOneByteGoesOutInThreeAddressedChunks) {
    currentImageIndex = kSlotFlashBin;
    AcknowledgeChunks(0, 3);
    EXPECT_EQ(WriteImage(ImageTarget::FlashBin), 1);
    auto sent = SentContents();
    ASSERT_EQ(sent.size(), 3u);
    std::string image = Image(kSlotFlashBin);
    for (uint32_t k = 0; k < 3; ++k) {
        EXPECT_EQ(sent[k][0], 0x07);
        EXPECT_EQ(AddressOf(sent[k]), k * kChunk);
        std::string data(sent[k].begin() + 5, sent[k].end());
        EXPECT_EQ(data, image.substr(k * kChunk, kChunk)) << "chunk " << k;
    }
    EXPECT_EQ(sent[2].size(), 5u + 1u);
    EXPECT_EQ(session.totalCount, 3u);
    EXPECT_EQ(session.doneCount, 3u);
    EXPECT_EQ(session.transferDone, 1u);
    std::string trace = TraceText();
    EXPECT_NE(trace.find("total packet3 ,  sended 2 th , packet size  798720 rate 2396160\n"), std::string::npos);
    EXPECT_TRUE(EndsWith(trace, "\nOK   Flash.bin \n OK   Flash.bin \n ")) << trace;
}

TEST_F(ImageTransferTest, AcknowledgementOfThePreviousChunkIsRetriedWithTheSameFrame) {
    currentImageIndex = kSlotFlashBin;
    port.QueueReply(WriteAck(0));
    port.QueueReply(WriteAck(0));  // the handset acknowledges chunk 0 again: chunk 1 must go again
    AcknowledgeChunks(1, 2);
    EXPECT_EQ(WriteImage(ImageTarget::FlashBin), 1);
    auto sent = SentContents();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[1], sent[2]);
    EXPECT_EQ(time.clock.SleptMs(), 1000u);  // FLASH.bin writes pause a second after a failure
}

TEST_F(ImageTransferTest, ThirtyFailuresSpreadOverTheChunksStillCompleteTheImage) {
    currentImageIndex = kSlotFlashBin;
    for (uint32_t k = 0; k < 3; ++k) {
        for (int i = 0; i < 10; ++i) port.QueueReadFailure(-1);
        port.QueueReply(WriteAck(k * kChunk));
    }
    EXPECT_EQ(WriteImage(ImageTarget::FlashBin), 1);
    EXPECT_EQ(session.doneCount, 3u);
}

TEST_F(ImageTransferTest, TheThirtyFirstFailureInTheImageEndsTheWrite) {
    currentImageIndex = kSlotFlashBin;
    for (uint32_t k = 0; k < 2; ++k) {
        for (int i = 0; i < 15; ++i) port.QueueReadFailure(-1);
        port.QueueReply(WriteAck(k * kChunk));
    }
    port.QueueReadFailure(-1);  // the 31st
    EXPECT_EQ(WriteImage(ImageTarget::FlashBin), 0);
    EXPECT_EQ(session.doneCount, 2u);
    EXPECT_EQ(session.transferDone, 0u);
    std::string trace = TraceText();
    EXPECT_TRUE(EndsWith(trace, "\nCan't Send or Received\n"));
}

TEST_F(ImageTransferTest, QcsblHeaderWriteLeavesTheProgressAlone) {
    session.totalCount = 77;
    session.doneCount = 5;
    session.transferDone = 1;
    currentImageIndex = kSlotQcsblHeader;
    AcknowledgeChunks(0, 1);
    EXPECT_EQ(WriteImage(ImageTarget::QcsblHeader), 1);
    EXPECT_EQ(session.totalCount, 77u);
    EXPECT_EQ(session.doneCount, 5u);
    EXPECT_EQ(session.transferDone, 1u);
}

TEST_F(ImageTransferTest, HeaderOpensCarryTheHeaderImageBehindTheType) {
    const std::pair<ImageTarget, int> opens[] = {{ImageTarget::Oemsbl, 0x04}, {ImageTarget::Amss, 0x05},
                                                 {ImageTarget::Appsboot, 0x0A}};
    const int headerSlots[] = {kSlotOemsblHeader, kSlotAmssHeader, kSlotAppsbootHeader};
    for (int i = 0; i < 3; ++i) {
        currentImageIndex = static_cast<uint32_t>(headerSlots[i]);
        port.QueueReply(Bytes({0x1C, 0x00}));
        EXPECT_EQ(OpenImage(opens[i].first), 1);
        EXPECT_EQ(SentContents().back(), Concat(Bytes({0x1B, opens[i].second}), Image(headerSlots[i])));
    }
}

TEST_F(ImageTransferTest, AHeaderLongerThanOneOpenChunkGoesOutCutToItsFirst10240Bytes) {
    TestPackage package = SmallPackage();
    std::string header(10240 + 77, '\0');
    for (size_t i = 0; i < header.size(); ++i) header[i] = static_cast<char>(i * 13);
    package.images[kSlotOemsblHeader] = header;
    InstallPackage(package);
    currentImageIndex = kSlotOemsblHeader;
    port.QueueReply(Bytes({0x1C, 0x00}));
    EXPECT_EQ(OpenImage(ImageTarget::Oemsbl), 1);
    EXPECT_EQ(SentContents().back(), Concat(Bytes({0x1B, 0x04}), header.substr(0, 10240)));
}

TEST_F(ImageTransferTest, EachTargetPausesItsOwnTimeAfterAFailedWrite) {
    const struct {
        ImageTarget target;
        uint32_t slot;
        uint32_t pauseMs;
    } writes[] = {{ImageTarget::QcsblHeader, kSlotQcsblHeader, 100}, {ImageTarget::Qcsbl, kSlotQcsbl, 100},
                  {ImageTarget::Oemsbl, kSlotOemsbl, 100},           {ImageTarget::Amss, kSlotAmss, 1000},
                  {ImageTarget::Appsboot, kSlotAppsboot, 100},       {ImageTarget::Cefs, kSlotCefs, 100}};
    for (const auto& write : writes) {
        currentImageIndex = write.slot;
        const uint64_t sleptBefore = time.clock.SleptMs();
        port.QueueReadFailure(-1);  // a transport failure
        port.QueueReply(Bytes({0x08, 0x55, 0, 0, 0}));  // a mismatch
        AcknowledgeChunks(0, 1);
        EXPECT_EQ(WriteImage(write.target), 1);
        EXPECT_EQ(time.clock.SleptMs() - sleptBefore, 2 * write.pauseMs) << static_cast<int>(write.target);
    }
}

TEST_F(ImageTransferTest, OpensWithoutPayloadNameOnlyTheType) {
    const std::pair<ImageTarget, int> opens[] = {{ImageTarget::QcsblHeader, 0x02}, {ImageTarget::Qcsbl, 0x03},
                                                 {ImageTarget::FlashBin, 0x0C}, {ImageTarget::Cefs, 0x09}};
    for (auto [target, type] : opens) {
        port.QueueReply(Bytes({0x1C, 0x00}));
        EXPECT_EQ(OpenImage(target), 1);
        EXPECT_EQ(SentContents().back(), Bytes({0x1B, type}));
    }
}

TEST_F(ImageTransferTest, OpenStatusOtherThanZeroIsAMismatch) {
    port.QueueReply(Bytes({0x1C, 0x01}));
    port.QueueReply(Bytes({0x1C, 0x00}));
    EXPECT_EQ(OpenImage(ImageTarget::Cefs), 1);
    EXPECT_EQ(SentContents().size(), 2u);
}

TEST_F(ImageTransferTest, EmptyHeaderImageFailsTheOpenWithoutSendingAnything) {
    TestPackage package = SmallPackage();
    package.images[kSlotAmssHeader] = std::string();
    InstallPackage(package);
    currentImageIndex = kSlotAmssHeader;
    EXPECT_EQ(OpenImage(ImageTarget::Amss), 0);
    EXPECT_TRUE(SentContents().empty());
    EXPECT_NE(TraceText().find("Can't Load amsshd.mbn\n"), std::string::npos);
}

TEST_F(ImageTransferTest, AbsentImageFailsItsWriteButAnEmptyOneIsWrittenAsNothing) {
    TestPackage package = SmallPackage();
    package.images[kSlotCefs].reset();     // absent: the partition override may still ask for it
    package.images[kSlotQcsbl] = std::string();  // present, no bytes
    InstallPackage(package);
    currentImageIndex = kSlotCefs;
    EXPECT_EQ(WriteImage(ImageTarget::Cefs), 0);
    EXPECT_NE(TraceText().find("Can't Load cefs_modem.mbn\n"), std::string::npos);
    currentImageIndex = kSlotQcsbl;
    EXPECT_EQ(WriteImage(ImageTarget::Qcsbl), 1);
    EXPECT_TRUE(SentContents().empty());
    EXPECT_EQ(session.transferDone, 1u);
}

TEST_F(ImageTransferTest, AmssOpenWaitsLongOnlyWithinItsAttempts) {
    currentImageIndex = kSlotAmssHeader;
    port.QueueReadFailure(-1);
    port.QueueReply(Bytes({0x1C, 0x00}));
    EXPECT_EQ(OpenImage(ImageTarget::Amss), 1);
    EXPECT_EQ(port.ReadWaits(), (std::vector<uint32_t>{30000, 30000}));
    EXPECT_EQ(LongTransferWait, 0);
}

TEST_F(ImageTransferTest, FlashBinOpenRaisesThePipeTimeOutsOnVista) {
    Environment = 1;
    port.QueueReply(Bytes({0x1C, 0x00}));
    EXPECT_EQ(OpenImage(ImageTarget::FlashBin), 1);
    std::vector<std::string> pipes;
    for (const std::string& event : port.Events())
        if (event.rfind("pipes", 0) == 0) pipes.push_back(event);
    EXPECT_EQ(pipes, (std::vector<std::string>{"pipes 10000 10000", "pipes 2000 2000"}));
    EXPECT_EQ(port.ReadWaits(), (std::vector<uint32_t>{30000}));
    EXPECT_EQ(LongTransferWait, 0);
}

TEST_F(ImageTransferTest, QcsblOpenRetriesAMismatchAtOnce) {
    port.QueueReply(Bytes({0x1C, 0x02}));
    port.QueueReadFailure(-1);
    port.QueueReply(Bytes({0x1C, 0x00}));
    EXPECT_EQ(OpenImage(ImageTarget::Qcsbl), 1);
    EXPECT_EQ(time.clock.SleptMs(), 200u);  // none after the mismatch, 100 + 100 around the time-out
    std::string trace = TraceText();
    EXPECT_TRUE(EndsWith(trace, "\nOK Open QCSBL \n OK Open QCSBL  \n")) << trace;
}

TEST_F(ImageTransferTest, CefsWriteUsesItsOwnFailureTexts) {
    currentImageIndex = kSlotCefs;
    port.QueueWriteFailure(31, 0);
    port.QueueReadFailure(121);
    AcknowledgeChunks(0, 1);
    EXPECT_EQ(WriteImage(ImageTarget::Cefs), 1);
    std::string trace = TraceText();
    EXPECT_NE(trace.find("Can't Send 31:\n"), std::string::npos);
    EXPECT_NE(trace.find("Can't Recv  121 recv num: 0 Data: \n\r"), std::string::npos);
    EXPECT_TRUE(EndsWith(trace, "\nOk Close CEFS body\nOk Close CEFS body\n"));
}

TEST_F(ImageTransferTest, CloseTextsOfFlashBin) {
    port.QueueReply(Bytes({0x16}));
    EXPECT_EQ(CloseImage(ImageTarget::FlashBin), 1);
    EXPECT_EQ(SentContents(), (std::vector<std::vector<uint8_t>>{Bytes({0x15})}));
    EXPECT_EQ(TraceText(), "==============Close Flash.bin=============\n==============Close Flash.bin=============\n"
                           "==============Buffer=============\n============== Send=============\n"
                           "OK Close Flash.bin\nOK Close Flash.bin\n");
}

TEST_F(ImageTransferTest, WholeOemsblWriteTrace) {
    currentImageIndex = kSlotOemsbl;
    AcknowledgeChunks(0, 1);
    EXPECT_EQ(WriteImage(ImageTarget::Oemsbl), 1);
    EXPECT_EQ(TraceText(), "============== OEMSBL=============\n============== OEMSBL=============\n"
                           "============== prepare buffer=============\n============== Send=============\n"
                           "total packet1 ,  sended 0 th , packet size  798720 rate 798720\n"
                           "OK   OEMSBL \n OK   OEMSBL \n ");
}
