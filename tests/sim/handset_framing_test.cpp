// The handset's side of the framing: cutting requests out of the stream and judging them.
#include <gtest/gtest.h>

#include <cstring>

#include "protocol/packet_buffer.h"
#include "sim/handset_framing.h"
#include "tests/protocol/literal_framing.h"

namespace {
std::vector<Bytes> Collect(FrameCollector& collector) {
    std::vector<Bytes> bodies;
    Bytes body;
    while (collector.Next(body)) bodies.push_back(body);
    return bodies;
}
}  // namespace

TEST(FrameCollector, BodiesArriveInAnyPieces) {
    const Bytes first = LiteralFrame({0x0F, 0x01});
    const Bytes second = LiteralFrame({0x7E, 0x7D});
    FrameCollector collector;
    for (const Bytes* frame : {&first, &second})
        for (uint8_t byte : *frame) collector.Feed(&byte, 1);
    auto bodies = Collect(collector);
    ASSERT_EQ(bodies.size(), 2u);
    EXPECT_EQ(bodies[0], Bytes(first.begin() + 1, first.end() - 1));
    EXPECT_EQ(bodies[1], Bytes(second.begin() + 1, second.end() - 1));
}

TEST(FrameCollector, NoiseBeforeTheFirstFlagAndDoubledFlagsAreIgnored) {
    Bytes stream = {0x11, 0x22, 0x7E, 0x7E, 0x7E, 0x05, 0x7E, 0x7E, 0x06};
    FrameCollector collector;
    collector.Feed(stream.data(), stream.size());
    auto bodies = Collect(collector);
    ASSERT_EQ(bodies.size(), 1u);
    EXPECT_EQ(bodies[0], Bytes{0x05});
    const uint8_t flag = 0x7E;
    collector.Feed(&flag, 1);  // the open body 06 completes
    bodies = Collect(collector);
    ASSERT_EQ(bodies.size(), 1u);
    EXPECT_EQ(bodies[0], Bytes{0x06});
}

TEST(DecodeRequest, AcceptsTheHostsFramesAndStripsTheCrc) {
    Bytes content = {0x07, 0x7E, 0x7D, 0x00, 0x5E};
    Bytes frame = LiteralFrame(content);
    Bytes decoded;
    EXPECT_EQ(DecodeRequest(Bytes(frame.begin() + 1, frame.end() - 1), decoded), RequestVerdict::kGood);
    EXPECT_EQ(decoded, content);
}

TEST(DecodeRequest, RefusesBadEscapesShortBodiesAndWrongCrcs) {
    Bytes frame = LiteralFrame({0x01, 0x02});
    Bytes body(frame.begin() + 1, frame.end() - 1);
    Bytes decoded;
    Bytes wrongCrc = body;
    wrongCrc.back() ^= 0x01;
    EXPECT_EQ(DecodeRequest(wrongCrc, decoded), RequestVerdict::kBadCrc);
    Bytes badEscape = body;
    badEscape.insert(badEscape.begin() + 1, {0x7D, 0x41});
    EXPECT_EQ(DecodeRequest(badEscape, decoded), RequestVerdict::kBadEscape);
    Bytes trailingEscape = body;
    trailingEscape.push_back(0x7D);
    EXPECT_EQ(DecodeRequest(trailingEscape, decoded), RequestVerdict::kBadEscape);
    EXPECT_EQ(DecodeRequest(Bytes{0x01, 0x02}, decoded), RequestVerdict::kTooShort);
}

TEST(FrameReply, IsWhatTheHostUnframes) {
    Bytes content = {0x08, 0x00, 0x30, 0x7E, 0x7D};
    Bytes frame = FrameReply(content);
    EXPECT_EQ(frame, LiteralFrame(content));
    Bytes wrong = FrameReply(content, true);
    PacketBuffer buffer(0);
    std::memcpy(buffer.receiveBuffer, wrong.data(), wrong.size());
    buffer.UnframeResponse(static_cast<uint32_t>(wrong.size()));
    EXPECT_EQ(std::memcmp(buffer.receiveBuffer, content.data(), content.size()), 0);
    uint16_t crc = LiteralCrc16(content);
    EXPECT_NE(buffer.receiveBuffer[content.size()] | buffer.receiveBuffer[content.size() + 1] << 8, crc);
}
