// The simulated handset's answers, request by request.
#include <gtest/gtest.h>

#include <string>

#include "sim/handset_model.h"
#include "sim/manifest.h"
#include "tests/sim/host_requests.h"

namespace {

HandsetModel Streaming(HandsetConfig config = {}) {
    HandsetModel handset(std::move(config));
    EXPECT_TRUE(handset.Handle(kGo).startsProgrammer);
    return handset;
}

}  // namespace

TEST(BootLoader, AcknowledgesContiguousWritesAndStoresARepeatOnce) {
    HandsetModel handset({});
    EXPECT_EQ(handset.Handle(RamWrite(0x00A00000, {1, 2, 3})).reply, Bytes{0x02});
    auto repeat = handset.Handle(RamWrite(0x00A00000, {1, 2, 3}));
    EXPECT_TRUE(repeat.repeated);
    EXPECT_EQ(repeat.reply, Bytes{0x02});
    EXPECT_EQ(handset.Handle(RamWrite(0x00A00003, {4})).reply, Bytes{0x02});
    EXPECT_EQ(handset.Ram(), (Bytes{1, 2, 3, 4}));
}

TEST(BootLoader, RefusesAGapAnOldAddressAndChangedRepeat) {
    HandsetModel handset({});
    handset.Handle(RamWrite(0x00A00000, {1, 2}));
    EXPECT_EQ(handset.Handle(RamWrite(0x00A00004, {9})).reply[0], 0x03);
    EXPECT_EQ(handset.Handle(RamWrite(0x00A00000, {1, 3})).reply[0], 0x03);
    EXPECT_EQ(handset.Ram(), (Bytes{1, 2}));
}

TEST(BootLoader, IgnoresMalformedAndStreamingRequests) {
    HandsetModel handset({});
    Bytes lengthMismatch = RamWrite(0x00A00000, {1, 2});
    lengthMismatch.pop_back();
    EXPECT_FALSE(handset.Handle(lengthMismatch).answer);
    EXPECT_FALSE(handset.Handle(Hello()).answer);
    EXPECT_FALSE(handset.Handle({0x0B}).answer);
}

TEST(BootLoader, GoStartsOnlyTheExpectedProgrammerAtTheLoadAddress) {
    HandsetConfig config;
    config.expectedProgrammer = Bytes{1, 2, 3};
    HandsetModel handset(config);
    handset.Handle(RamWrite(0x00A00000, {1, 2}));
    auto refused = handset.Handle(kGo);
    EXPECT_EQ(refused.reply[0], 0x03);
    EXPECT_FALSE(refused.startsProgrammer);
    handset.Handle(RamWrite(0x00A00002, {3}));
    EXPECT_EQ(handset.Handle({0x05, 0x00, 0xA1, 0x00, 0x00}).reply[0], 0x03);
    auto started = handset.Handle(kGo);
    EXPECT_EQ(started.reply, Bytes{0x02});
    EXPECT_TRUE(started.startsProgrammer);
    EXPECT_EQ(handset.Stage(), HandsetStage::kProgrammer);
    EXPECT_FALSE(handset.Handle(RamWrite(0x00A00003, {4})).answer);  // the boot loader is gone
}

TEST(Programmer, HelloAndSecurityMode) {
    HandsetModel handset = Streaming();
    auto hello = handset.Handle(Hello());
    ASSERT_TRUE(hello.answer);
    EXPECT_EQ(hello.reply[0], 0x02);
    EXPECT_EQ(std::string(hello.reply.begin() + 1, hello.reply.begin() + 33), "QCOM fast download protocol targ");
    EXPECT_EQ(handset.Handle({0x17, 0x01}).reply, Bytes{0x18});
    Bytes wrongMagic = Hello();
    wrongMagic[5] = 'X';
    EXPECT_FALSE(handset.Handle(wrongMagic).answer);
}

TEST(Programmer, SilentHelloIsNeverAnswered) {
    HandsetConfig config;
    config.silentHello = true;
    HandsetModel handset = Streaming(config);
    EXPECT_FALSE(handset.Handle(Hello()).answer);
}

TEST(Programmer, FirstPartitionTableBecomesTheStoredOne) {
    HandsetModel handset = Streaming();
    EXPECT_EQ(handset.Handle({0x19, 0x00, 0xAA, 0xBB}).reply, (Bytes{0x1A, 0x00}));
    EXPECT_EQ(handset.Handle({0x19, 0x00, 0xAA, 0xCC}).reply, (Bytes{0x1A, 0x01}));
    EXPECT_EQ(handset.Handle({0x19, 0x01, 0xAA, 0xCC}).reply, (Bytes{0x1A, 0x00}));
    EXPECT_EQ(*handset.PartitionTable(), (Bytes{0xAA, 0xCC}));
    EXPECT_EQ(handset.PartitionOverride(), 1);
}

TEST(Programmer, StoredTableAndStatusOneUntilTheOverride) {
    HandsetConfig config;
    config.storedTable = Bytes{0x10};
    config.partitionStatus1 = true;
    HandsetModel handset = Streaming(config);
    EXPECT_EQ(handset.Handle({0x19, 0x00, 0x10}).reply, (Bytes{0x1A, 0x01}));
    EXPECT_EQ(handset.Handle({0x19, 0x01, 0x10}).reply, (Bytes{0x1A, 0x00}));
    EXPECT_EQ(handset.Handle({0x19, 0x00, 0x10}).reply, (Bytes{0x1A, 0x00}));
    EXPECT_EQ(handset.Handle({0x19, 0x00, 0x11}).reply, (Bytes{0x1A, 0x01}));
}

TEST(Programmer, StreamWritesMustBeContiguousFromZero) {
    HandsetModel handset = Streaming();
    EXPECT_EQ(handset.Handle({0x1B, 0x05, 0x40, 0x41}).reply, (Bytes{0x1C, 0x00}));
    EXPECT_EQ(handset.Handle(StreamWrite(0, {1, 2, 3, 4})).reply, StreamAck(0));
    EXPECT_EQ(handset.Handle(StreamWrite(8, {9})).reply, StreamAck(4)) << "a gap is answered with the address expected";
    EXPECT_EQ(handset.Handle(StreamWrite(4, {5, 6})).reply, StreamAck(4));
    EXPECT_EQ(handset.Handle({0x15}).reply, Bytes{0x16});
    const auto& images = handset.Images();
    EXPECT_EQ(images.at("amss").bytes, 6u);
    EXPECT_EQ(images.at("amss").hash.HexDigest(), Sha256Hex("\x01\x02\x03\x04\x05\x06", 6));
    EXPECT_EQ(images.at("amss_header").bytes, 2u);
    EXPECT_EQ(images.at("amss_header").hash.HexDigest(), Sha256Hex("\x40\x41", 2));
}

TEST(Programmer, ARepeatedWriteIsAcknowledgedAgainAndStoredOnce) {
    HandsetModel handset = Streaming();
    handset.Handle({0x1B, 0x0C});
    handset.Handle(StreamWrite(0, {1, 2}));
    auto repeat = handset.Handle(StreamWrite(0, {1, 2}));
    EXPECT_TRUE(repeat.repeated);
    EXPECT_EQ(repeat.reply, StreamAck(0));
    EXPECT_EQ(handset.Handle(StreamWrite(0, {1, 7})).reply, StreamAck(2)) << "same address, other data: not a repeat";
    EXPECT_EQ(handset.Images().at("flash_bin").bytes, 2u);
}

TEST(Programmer, WrongAddressAcknowledgesThePreviousChunkAndStillStores) {
    HandsetModel handset = Streaming();
    handset.Handle({0x1B, 0x09});
    handset.Handle(StreamWrite(0, {1, 2}));
    auto wrong = handset.Handle(StreamWrite(2, {3, 4}), true);
    EXPECT_EQ(wrong.reply, StreamAck(0));
    EXPECT_FALSE(wrong.streamWrite);
    auto resent = handset.Handle(StreamWrite(2, {3, 4}));
    EXPECT_EQ(resent.reply, StreamAck(2));
    EXPECT_EQ(handset.Images().at("cefs").bytes, 4u);
}

TEST(Programmer, WritesNeedAnOpenImageAndUnknownTypesAreRefused) {
    HandsetModel handset = Streaming();
    EXPECT_EQ(handset.Handle(StreamWrite(0, {1})).reply[0], 0x0D);
    EXPECT_EQ(handset.Handle({0x1B, 0x07}).reply, (Bytes{0x1C, 0x01}));
    EXPECT_FALSE(handset.Handle({0x42}).answer);
}

TEST(Programmer, ResetEndsTheConversation) {
    HandsetModel handset = Streaming();
    auto reset = handset.Handle({0x0B});
    EXPECT_EQ(reset.reply, Bytes{0x0C});
    EXPECT_TRUE(reset.resets);
    EXPECT_FALSE(handset.Handle(Hello()).answer);
}

TEST(Manifest, RecordsProgrammerPartitionImagesAndReset) {
    HandsetModel handset({});
    handset.Handle(RamWrite(0x00A00000, {'a', 'b', 'c'}));
    handset.Handle(kGo);
    handset.Acknowledged(handset.Handle({0x19, 0x01, 'a', 'b', 'c'}));
    // The open's reply went out: the header it carries is whole; the image's close never came.
    handset.Acknowledged(handset.Handle({0x1B, 0x0A, 'a'}));
    handset.Handle(StreamWrite(0, {'a', 'b', 'c'}));
    const std::string abc = "\"bytes\":3,\"sha256\":\"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\"";
    const std::string a = "\"bytes\":1,\"sha256\":\"ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb\"";
    EXPECT_EQ(ManifestJson(handset, true),
              "{\"programmer\":{" + abc + "},\"partition\":{" + abc + ",\"override\":1,\"accepted\":true},"
              "\"images\":{\"appsboot\":{" + abc + ",\"closed\":false},\"appsboot_header\":{" + a +
                  ",\"closed\":true}},\"reset\":true}\n");
    // A close whose reply went astray, asked again with nothing open, closes the same image.
    const HandsetModel::Outcome close = handset.Handle({0x15});
    handset.Handle({0x15});
    handset.Acknowledged(handset.Handle({0x15}));
    EXPECT_EQ(close.completes, "appsboot");
    EXPECT_TRUE(handset.Images().at("appsboot").closed);
}

