// The handset's side of the framing: cutting requests out of the stream and judging them.
#include <gtest/gtest.h>

#include <algorithm>
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

TEST(FrameCollector, ABodyBeyondEightMebibytesIsDroppedAndTheNextFrameStillComes) {
    for (const std::size_t length : {std::size_t{8} << 20, (std::size_t{8} << 20) + 1}) {
        Bytes stream(length + 2, 0x55);
        stream.front() = stream.back() = 0x7E;
        stream.insert(stream.end(), {0x05, 0x7E});
        FrameCollector collector;
        for (std::size_t at = 0; at < stream.size(); at += 65537)  // pieces that end mid-run
            collector.Feed(stream.data() + at, std::min<std::size_t>(65537, stream.size() - at));
        const auto bodies = Collect(collector);
        const bool kept = length == std::size_t{8} << 20;
        ASSERT_EQ(bodies.size(), kept ? 2u : 1u) << length;
        if (kept) {
            EXPECT_EQ(bodies.front().size(), length);
        }
        EXPECT_EQ(bodies.back(), Bytes{0x05}) << length;
    }
}

TEST(HandsetFraming, CollectsAndDecodesAsAPlainByteByByteReading) {
    // Streams made mostly of the bytes that matter (flags, escapes, escaped values), fed in
    // pieces of every size, against the plainest reading of the same rules.
    const auto reference = [](const Bytes& stream) {
        std::vector<std::pair<bool, Bytes>> requests;  // (bad escape, unescaped body)
        bool inFrame = false;
        Bytes body;
        for (uint8_t byte : stream) {
            if (byte == 0x7E) {
                if (inFrame && !body.empty()) {
                    Bytes unescaped;
                    bool bad = false;
                    for (std::size_t i = 0; i < body.size(); ++i) {
                        const bool pair = body[i] == 0x7D && i + 1 < body.size() && (body[i + 1] == 0x5D || body[i + 1] == 0x5E);
                        bad = bad || (body[i] == 0x7D && !pair);
                        unescaped.push_back(pair ? static_cast<uint8_t>(body[++i] ^ 0x20) : body[i]);
                    }
                    requests.emplace_back(bad, unescaped);
                }
                body.clear();
                inFrame = true;
            } else if (inFrame) {
                body.push_back(byte);
            }
        }
        return requests;
    };
    const uint8_t alphabet[] = {0x7E, 0x7D, 0x5D, 0x5E, 0x01, 0x7D, 0x5E, 0x02};
    uint32_t seed = 7200;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
    for (int round = 0; round < 200; ++round) {
        Bytes stream(next() % 300);
        for (uint8_t& byte : stream) byte = alphabet[next() % sizeof alphabet];
        FrameCollector collector;
        for (std::size_t at = 0; at < stream.size();) {
            const std::size_t piece = std::min<std::size_t>(next() % 40 + 1, stream.size() - at);
            collector.Feed(stream.data() + at, piece);
            at += piece;
        }
        const auto expected = reference(stream);
        const auto bodies = Collect(collector);
        ASSERT_EQ(bodies.size(), expected.size()) << "round " << round;
        for (std::size_t i = 0; i < bodies.size(); ++i) {
            Bytes content;
            const RequestVerdict verdict = DecodeRequest(bodies[i], content);
            EXPECT_EQ(verdict == RequestVerdict::kBadEscape, expected[i].first) << "round " << round;
            Bytes unescaped = expected[i].second;
            if (verdict == RequestVerdict::kGood) unescaped.resize(unescaped.size() - 2);  // the CRC
            EXPECT_EQ(content, unescaped) << "round " << round;
        }
    }
}

TEST(DecodeRequest, AcceptsTheHostsFramesAndStripsTheCrc) {
    // An escaped 0x7D followed by a plain 0x5E must not read as an escape of its own.
    Bytes content = {0x07, 0x7E, 0x7D, 0x5E, 0x00, 0x5D};
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
