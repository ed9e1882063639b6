// SHA-256 against the FIPS 180-2 example messages.
#include <gtest/gtest.h>

#include <string>

#include "tools/digest/sha256.h"

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
