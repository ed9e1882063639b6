#include "tools/digest/sha256.h"

#include "tools/digest/sha256_blocks.h"

#include <algorithm>
#include <cstring>

namespace {

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
            uint32_t t1 = h + (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) + ((e & f) ^ (~e & g)) + kSha256Round[i] + w[i];
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
