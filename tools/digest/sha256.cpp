#include "tools/digest/sha256.h"

#include "tools/digest/sha256_blocks.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::array<uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t Rotate(uint32_t value, int bits) { return (value >> bits) | (value << (32 - bits)); }

}  // namespace

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256BlocksPortable(Sha256State& state, const uint8_t* blocks, std::size_t count) {
    for (; count > 0; --count, blocks += 64) {
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = static_cast<uint32_t>(blocks[4 * i]) << 24 | static_cast<uint32_t>(blocks[4 * i + 1]) << 16 |
                   static_cast<uint32_t>(blocks[4 * i + 2]) << 8 | blocks[4 * i + 3];
        for (int i = 16; i < 64; ++i) {
            uint32_t s0 = Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
            uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int i = 0; i < 64; ++i) {
            uint32_t t1 = h + (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
            uint32_t t2 = (Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

void Sha256::Blocks(const uint8_t* blocks, std::size_t count) {
    if (!Sha256BlocksAccelerated(state_, blocks, count)) Sha256BlocksPortable(state_, blocks, count);
}

void Sha256::Update(const void* data, std::size_t length) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    totalLength_ += length;
    if (pendingLength_ > 0) {
        std::size_t take = std::min(length, pending_.size() - pendingLength_);
        std::memcpy(pending_.data() + pendingLength_, bytes, take);
        pendingLength_ += take;
        bytes += take;
        length -= take;
        if (pendingLength_ < pending_.size()) return;
        Blocks(pending_.data(), 1);
        pendingLength_ = 0;
    }
    const std::size_t whole = length / 64;
    Blocks(bytes, whole);
    bytes += whole * 64;
    length -= whole * 64;
    std::memcpy(pending_.data(), bytes, length);
    pendingLength_ = length;
}

std::array<uint8_t, 32> Sha256::Digest() const {
    Sha256 copy = *this;
    const uint64_t bits = totalLength_ * 8;
    const uint8_t one = 0x80, zero = 0;
    copy.Update(&one, 1);
    while (copy.pendingLength_ != 56) copy.Update(&zero, 1);
    uint8_t length[8];
    for (int i = 0; i < 8; ++i) length[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    copy.Update(length, 8);
    std::array<uint8_t, 32> digest{};
    for (int i = 0; i < 8; ++i)
        for (int k = 0; k < 4; ++k) digest[4 * i + k] = static_cast<uint8_t>(copy.state_[i] >> (24 - 8 * k));
    return digest;
}

std::string Sha256::HexDigest() const {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : Digest()) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 15]);
    }
    return text;
}

std::string Sha256Hex(const void* data, std::size_t length) {
    Sha256 hash;
    hash.Update(data, length);
    return hash.HexDigest();
}
