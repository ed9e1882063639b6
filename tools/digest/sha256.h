// SHA-256 (FIPS 180-4): the digests veltrane-pack prints and the simulated handset records.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
public:
    Sha256();
    void Update(const void* data, std::size_t length);
    // The digest of everything given so far; the object can go on taking bytes.
    std::array<uint8_t, 32> Digest() const;
    std::string HexDigest() const;

private:
    void Blocks(const uint8_t* blocks, std::size_t count);

    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> pending_{};
    std::size_t pendingLength_ = 0;
    uint64_t totalLength_ = 0;
};

std::string Sha256Hex(const void* data, std::size_t length);
