// SHA-256 (FIPS 180-4), for the image digests that veltrane-pack prints.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
public:
    Sha256();
    void Update(const void* data, std::size_t length);
    // The digest of everything given so far; the object is spent afterwards.
    std::array<uint8_t, 32> Finish();

    // Lower-case hexadecimal digest of one block of bytes.
    static std::string HexDigest(const void* data, std::size_t length);
    static std::string ToHex(const std::array<uint8_t, 32>& digest);

private:
    void Compress(const uint8_t* block);

    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> pending_{};
    std::size_t pendingLength_ = 0;
    uint64_t totalLength_ = 0;
};
