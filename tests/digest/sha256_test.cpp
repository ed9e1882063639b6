// SHA-256 against the FIPS 180-2 example messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/digest/sha256.h"
#include "tools/digest/sha256_blocks.h"

TEST(Sha256, FipsExamples) {
    EXPECT_EQ(Sha256Hex("", 0), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc", 3), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(Sha256Hex(twoBlocks.data(), twoBlocks.size()),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(Sha256, MillionAsInUnevenPieces) {
    const std::string as(1000000, 'a');
    Sha256 hash;
    std::size_t done = 0;
    for (std::size_t piece = 1; done < as.size(); piece = piece * 3 % 1000 + 1) {
        std::size_t take = std::min(piece, as.size() - done);
        hash.Update(as.data() + done, take);
        done += take;
    }
    EXPECT_EQ(hash.HexDigest(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, DigestCanBeTakenMidwayAndGoOn) {
    Sha256 hash;
    hash.Update("ab", 2);
    EXPECT_EQ(hash.HexDigest(), Sha256Hex("ab", 2));
    hash.Update("c", 1);
    EXPECT_EQ(hash.HexDigest(), Sha256Hex("abc", 3));
}

TEST(Sha256, ShaExtensionsAgreeWithThePortableRounds) {
    std::vector<uint8_t> blocks(64 * 37);
    uint32_t seed = 2463534242u;
    for (uint8_t& byte : blocks) {
        seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
        byte = static_cast<uint8_t>(seed);
    }
    // From the initial state and from one that the earlier blocks left, over 1 and many blocks.
    for (std::size_t start : {0u, 5u}) {
        for (std::size_t count : {1u, 32u}) {
            Sha256State portable = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                    0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
            Sha256BlocksPortable(portable, blocks.data(), start);
            Sha256State accelerated = portable;
            if (!Sha256BlocksAccelerated(accelerated, blocks.data() + 64 * start, count))
                GTEST_SKIP() << "this processor has no SHA extensions";
            Sha256BlocksPortable(portable, blocks.data() + 64 * start, count);
            EXPECT_EQ(accelerated, portable) << "from block " << start << ", " << count << " blocks";
        }
    }
}
