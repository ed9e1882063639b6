// CRC, escapes and the framing of chunks and replies, compared with the literal procedure.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "protocol/crc16.h"
#include "protocol/crc16_folding.h"
#include "protocol/frame_escape.h"
#include "protocol/packet_buffer.h"
#include "tests/protocol/literal_framing.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes RandomBytes(std::mt19937& random, size_t length, int specialsPercent) {
    Bytes bytes(length);
    std::uniform_int_distribution<int> percent(0, 99), any(0, 255), special(0x7D, 0x7E);
    for (auto& byte : bytes) byte = static_cast<uint8_t>(percent(random) < specialsPercent ? special(random) : any(random));
    return bytes;
}

Bytes FrameOf(PacketBuffer& buffer) {
    return Bytes(buffer.frameBuffer, buffer.frameBuffer + buffer.framedLength);
}

}  // namespace

TEST(Crc16, CheckValueOfTheStandardString) {
    const char* text = "123456789";
    EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(text), 9 * 8), 0x906E);
}

TEST(Crc16, AgreesWithBitwiseCrcAtEveryLengthAroundTheSliceWidth) {
    std::mt19937 random(7);
    for (size_t length = 0; length < 70; ++length) {
        Bytes bytes = RandomBytes(random, length, 0);
        EXPECT_EQ(Crc16(bytes.data(), static_cast<uint32_t>(length * 8)), LiteralCrc16(bytes)) << length;
    }
    Bytes large = RandomBytes(random, 100003, 0);
    EXPECT_EQ(Crc16(large.data(), static_cast<uint32_t>(large.size() * 8)), LiteralCrc16(large));
}

TEST(Crc16, FoldingAndTableReachTheSameRegister) {
    if (!Crc16FoldingBuilt()) GTEST_SKIP() << "folding is not built for this architecture";
    if (!Crc16FoldingAvailable()) GTEST_SKIP() << "this processor has no carry-less multiplication";
    std::mt19937 random(9);
    for (size_t length = kCrc16FoldingMinimum; length < 700; length += 3) {
        Bytes bytes = RandomBytes(random, length, 0);
        for (uint16_t start : {uint16_t{0xFFFF}, uint16_t{0}, uint16_t{0x8C1D}}) {
            ASSERT_EQ(Crc16UpdateFolding(start, bytes.data(), length), Crc16UpdateTable(start, bytes.data(), length))
                << length << " " << start;
        }
    }
}

TEST(Crc16, PartialLastByteTakesItsLowBits) {
    // 12 bits of {0xA5, 0x0F}: the second byte's low four bits continue the register.
    const uint8_t bytes[2] = {0xA5, 0x0F};
    uint16_t crc = 0xFFFF;
    for (int bit = 0; bit < 12; ++bit) {
        bool feedback = ((crc ^ (bytes[bit / 8] >> (bit % 8))) & 1) != 0;
        crc = static_cast<uint16_t>(crc >> 1);
        if (feedback) crc ^= 0x8408;
    }
    EXPECT_EQ(Crc16(bytes, 12), static_cast<uint16_t>(~crc));
}

TEST(EscapeFrame, ContentLookingLikeAnEscapeIsEscapedAgain) {
    Bytes body = {0x7D, 0x5E, 0, 0};
    uint32_t count = EscapeFrame(body.data(), 2, 0x7D);
    count += EscapeFrame(body.data(), 2 + count, 0x7E);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(body, (Bytes{0x7D, 0x5D, 0x5E, 0}));
}

TEST(EscapeFrame, OnePassEscapeEqualsTheTwoDefinedPasses) {
    std::mt19937 random(11);
    for (int specials : {0, 1, 30, 50, 100}) {
        for (size_t length : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 100u, 4099u}) {
            Bytes content = RandomBytes(random, length, specials);
            Bytes literal = content;
            LiteralEscape(literal, 0x7D);
            LiteralEscape(literal, 0x7E);

            Bytes inPlace(content.size() * 2 + 1, 0xEE);
            std::memcpy(inPlace.data(), content.data(), content.size());
            uint32_t count = EscapeFrame(inPlace.data(), static_cast<uint32_t>(length), 0x7D);
            count += EscapeFrame(inPlace.data(), static_cast<uint32_t>(length + count), 0x7E);
            EXPECT_EQ(Bytes(inPlace.begin(), inPlace.begin() + static_cast<std::ptrdiff_t>(length + count)), literal);

            Bytes out(content.size() * 2 + 17, 0xEE);
            uint8_t* end = EscapeInto(out.data(), content.data(), content.size());
            ASSERT_EQ(static_cast<size_t>(end - out.data()), literal.size()) << specials << " " << length;
            EXPECT_EQ(Bytes(out.data(), end), literal);
            EXPECT_EQ(out.back(), 0xEE) << "nothing written beyond the room allowed";
        }
    }
}

TEST(UnescapeFrame, RemovesPairsLeftToRightAndZeroesTheEnd) {
    Bytes buffer = {0x01, 0x7D, 0x5E, 0x7D, 0x5D, 0x5E, 0x7D, 0x41, 0x7D};
    EXPECT_EQ(UnescapeFrame(buffer.data(), static_cast<uint32_t>(buffer.size())), 2u);
    // 7D 5D gives 7D, which is not taken together with the following 5E; 7D 41 stays.
    EXPECT_EQ(buffer, (Bytes{0x01, 0x7E, 0x7D, 0x5E, 0x7D, 0x41, 0x7D, 0x00, 0x00}));
}

TEST(UnescapeFrame, UndoesTheEscapeForEveryAlignment) {
    std::mt19937 random(12);
    for (int specials : {0, 2, 50, 100}) {
        for (size_t length = 0; length < 80; ++length) {
            Bytes content = RandomBytes(random, length, specials);
            Bytes escaped(length * 2 + 16);
            size_t escapedLength = static_cast<size_t>(EscapeInto(escaped.data(), content.data(), length) - escaped.data());
            uint32_t pairs = 0;
            uint8_t* end = UnescapeInto(escaped.data(), escaped.data(), escapedLength, &pairs);
            EXPECT_EQ(Bytes(escaped.data(), end), content);
            EXPECT_EQ(pairs, escapedLength - length);
        }
    }
}

TEST(PacketBufferFraming, HeaderOnlyCommand) {
    PacketBuffer buffer(0);
    const uint8_t header[1] = {0x0B};
    buffer.BuildFrame(header, 1, 0);
    EXPECT_EQ(FrameOf(buffer), LiteralFrame({0x0B}));
    EXPECT_EQ(buffer.framedLength, 5u);
}

TEST(PacketBufferFraming, CrcBytesAreEscapedLikeTheContent) {
    // Contents whose CRC holds 0x7E or 0x7D in its low or high byte.
    int lowSeen = 0, highSeen = 0;
    PacketBuffer buffer(0);
    for (uint32_t value = 0; value < 65536 && (lowSeen < 2 || highSeen < 2); ++value) {
        Bytes content = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
        uint16_t crc = LiteralCrc16(content);
        bool low = (crc & 0xFF) == 0x7E || (crc & 0xFF) == 0x7D;
        bool high = (crc >> 8) == 0x7E || (crc >> 8) == 0x7D;
        if (!low && !high) continue;
        buffer.BuildFrame(content.data(), 2, 0);
        EXPECT_EQ(FrameOf(buffer), LiteralFrame(content));
        EXPECT_EQ(buffer.framedLength, 2 + 4 + 1 + ((low && high) ? 1u : 0u) +
                                           (content[0] == 0x7D || content[0] == 0x7E) +
                                           (content[1] == 0x7D || content[1] == 0x7E));
        lowSeen += low;
        highSeen += high;
    }
    EXPECT_GE(lowSeen, 2);
    EXPECT_GE(highSeen, 2);
}

TEST(PacketBufferFraming, ChunksOfAnExactMultipleAndOneByteMore) {
    const uint8_t header[5] = {0x07, 1, 2, 3, 4};
    for (uint32_t length : {3u * 100u, 3u * 100u + 1u}) {
        PacketBuffer buffer(100);
        uint8_t* data = buffer.AllocatePayload(length);
        for (uint32_t i = 0; i < length; ++i) data[i] = static_cast<uint8_t>(i * 7 + 0x70);
        buffer.SetPayloadLength(length);
        ASSERT_EQ(buffer.chunkCount, length == 300 ? 3u : 4u);
        uint32_t last = buffer.chunkCount - 1;
        buffer.BuildFrame(header, 5, last);
        uint32_t lastLength = length == 300 ? 100 : 1;
        Bytes content(5 + lastLength);
        std::memcpy(content.data(), header, 5);
        std::memcpy(content.data() + 5, buffer.payload + last * 100, lastLength);
        EXPECT_EQ(FrameOf(buffer), LiteralFrame(content)) << length;
    }
}

TEST(PacketBufferFraming, OnePassFramesEqualTheLiteralProcedureOverRandomContents) {
    std::mt19937 random(2024);
    std::uniform_int_distribution<uint32_t> sizes(1, 3000), headerSizes(0, 7), pick(0, 3);
    for (int round = 0; round < 60; ++round) {
        int specials = round % 4 == 0 ? 60 : round % 4 == 1 ? 100 : 2;
        uint32_t chunk = sizes(random);
        uint32_t total = chunk * 2 + sizes(random) % chunk;
        PacketBuffer buffer(chunk);
        Bytes payload = RandomBytes(random, total, specials);
        std::memcpy(buffer.AllocatePayload(total), payload.data(), total);
        buffer.SetPayloadLength(total);
        Bytes header = RandomBytes(random, headerSizes(random), specials);
        uint32_t index = pick(random) % buffer.chunkCount;
        buffer.BuildFrame(header.data(), static_cast<uint32_t>(header.size()), index);

        Bytes content = header;
        uint32_t begin = index * chunk;
        uint32_t end = index == buffer.chunkCount - 1 ? total : begin + chunk;
        content.insert(content.end(), payload.begin() + begin, payload.begin() + end);
        ASSERT_EQ(FrameOf(buffer), LiteralFrame(content)) << "round " << round;
    }
}

TEST(PacketBufferUnframing, AgreesWithTheLiteralProcedureOnArbitraryBytes) {
    std::mt19937 random(99);
    PacketBuffer buffer(0);
    for (int round = 0; round < 300; ++round) {
        Bytes received = RandomBytes(random, static_cast<size_t>(round % 70), round % 3 == 0 ? 70 : 20);
        // Escape seconds are what a real reply holds after 0x7D; sprinkle them in.
        for (size_t i = 1; i < received.size(); ++i)
            if (received[i - 1] == 0x7D && round % 2) received[i] = (i % 2) ? 0x5E : 0x5D;
        std::memset(buffer.receiveBuffer, 0, 128);
        if (!received.empty()) std::memcpy(buffer.receiveBuffer, received.data(), received.size());
        buffer.UnframeResponse(static_cast<uint32_t>(received.size()));
        Bytes got(buffer.receiveBuffer, buffer.receiveBuffer + received.size());
        ASSERT_EQ(got, LiteralUnframe(received)) << "round " << round;
        EXPECT_EQ(buffer.receiveBuffer[received.size()], 0);
    }
}

TEST(PacketBufferUnframing, LongRepliesAgreeWithTheLiteralProcedure) {
    // Long enough for the output to fall well behind the input, at several escape densities.
    std::mt19937 random(5);
    PacketBuffer buffer(0);
    for (int specials : {1, 5, 20, 50}) {
        Bytes content = RandomBytes(random, 6000, specials);
        Bytes frame = LiteralFrame(content);
        std::memset(buffer.receiveBuffer, 0, 2 * 6000 + 8);
        std::memcpy(buffer.receiveBuffer, frame.data(), frame.size());
        buffer.UnframeResponse(static_cast<uint32_t>(frame.size()));
        ASSERT_EQ(Bytes(buffer.receiveBuffer, buffer.receiveBuffer + frame.size()), LiteralUnframe(frame))
            << specials;
        EXPECT_EQ(std::memcmp(buffer.receiveBuffer, content.data(), content.size()), 0);
    }
}

TEST(UnescapeInto, SeparateOutputGetsTheSameBytes) {
    std::mt19937 random(6);
    for (int specials : {1, 3, 40}) {
        Bytes content = RandomBytes(random, 3000, specials);
        Bytes escaped(content.size() * 2 + 16);
        size_t escapedLength = static_cast<size_t>(EscapeInto(escaped.data(), content.data(), content.size()) - escaped.data());
        Bytes out(escapedLength + 16);
        uint32_t pairs = 0;
        uint8_t* end = UnescapeInto(out.data(), escaped.data(), escapedLength, &pairs);
        EXPECT_EQ(Bytes(out.data(), end), content) << specials;
    }
}

TEST(PacketBufferUnframing, TwoLeadingFlagsLeaveAFlagAsFirstContentByte) {
    Bytes frame = LiteralFrame({0x02});
    frame.insert(frame.begin(), 0x7E);
    PacketBuffer buffer(0);
    std::memcpy(buffer.receiveBuffer, frame.data(), frame.size());
    buffer.UnframeResponse(static_cast<uint32_t>(frame.size()));
    EXPECT_EQ(buffer.receiveBuffer[0], 0x7E);
    EXPECT_EQ(buffer.receiveBuffer[1], 0x02);
}

TEST(PacketBufferUnframing, NothingReceivedLeavesTheBufferAlone) {
    PacketBuffer buffer(0);
    buffer.receiveBuffer[0] = 0x7E;
    buffer.receiveBuffer[1] = 0x55;
    buffer.UnframeResponse(0);
    EXPECT_EQ(buffer.receiveBuffer[0], 0x7E);
    EXPECT_EQ(buffer.receiveBuffer[1], 0x55);
}
