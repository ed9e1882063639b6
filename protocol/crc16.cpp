#include "protocol/crc16.h"

#include "protocol/crc16_folding.h"

#include <array>

namespace {

constexpr uint16_t kReflectedPolynomial = 0x8408;
constexpr int kSlices = 16;

using CrcTables = std::array<std::array<uint16_t, 256>, kSlices>;

// tables[0] is the standard byte table: crc = tables[0][(crc ^ byte) & 0xFF] ^ (crc >> 8).
// tables[k][b] is the register contribution of byte b followed by k zero bytes, so that
// sixteen bytes are folded into the register with sixteen independent look-ups.
constexpr CrcTables MakeTables() {
    CrcTables tables{};
    for (uint32_t value = 0; value < 256; ++value) {
        uint32_t crc = value;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ kReflectedPolynomial : crc >> 1;
        tables[0][value] = static_cast<uint16_t>(crc);
    }
    for (int slice = 1; slice < kSlices; ++slice) {
        for (uint32_t value = 0; value < 256; ++value) {
            uint16_t previous = tables[slice - 1][value];
            tables[slice][value] = static_cast<uint16_t>((previous >> 8) ^ tables[0][previous & 0xFF]);
        }
    }
    return tables;
}

constexpr CrcTables kTables = MakeTables();
static_assert(kTables[0][1] == 0x1189 && kTables[0][255] == 0x0F78, "CRC-16/X.25 byte table");

inline uint16_t UpdateByte(uint16_t crc, uint8_t byte) {
    return static_cast<uint16_t>(kTables[0][(crc ^ byte) & 0xFF] ^ (crc >> 8));
}

}  // namespace

uint16_t Crc16UpdateTable(uint16_t crcRegister, const uint8_t* bytes, std::size_t length) {
    uint32_t crc = crcRegister;
    const auto& t = kTables;
    while (length >= kSlices) {
        // The register's two bytes meet the first two data bytes; the other fourteen bytes
        // contribute on their own.
        uint32_t first = crc ^ (static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8);
        crc = t[15][first & 0xFF] ^ t[14][first >> 8] ^ t[13][bytes[2]] ^ t[12][bytes[3]] ^
              t[11][bytes[4]] ^ t[10][bytes[5]] ^ t[9][bytes[6]] ^ t[8][bytes[7]] ^
              t[7][bytes[8]] ^ t[6][bytes[9]] ^ t[5][bytes[10]] ^ t[4][bytes[11]] ^
              t[3][bytes[12]] ^ t[2][bytes[13]] ^ t[1][bytes[14]] ^ t[0][bytes[15]];
        bytes += kSlices;
        length -= kSlices;
    }
    uint16_t narrow = static_cast<uint16_t>(crc);
    while (length-- > 0) narrow = UpdateByte(narrow, *bytes++);
    return narrow;
}

uint16_t Crc16Update(uint16_t crcRegister, const uint8_t* bytes, std::size_t length) {
    static const bool folding = Crc16FoldingAvailable();
    if (folding && length >= kCrc16FoldingMinimum) return Crc16UpdateFolding(crcRegister, bytes, length);
    return Crc16UpdateTable(crcRegister, bytes, length);
}

uint16_t Crc16(const uint8_t* bytes, uint32_t lengthInBits) {
    uint16_t crc = Crc16Update(kCrc16Preset, bytes, lengthInBits / 8);
    uint32_t spareBits = lengthInBits % 8;
    if (spareBits != 0) {
        uint8_t last = bytes[lengthInBits / 8];
        for (uint32_t bit = 0; bit < spareBits; ++bit, last = static_cast<uint8_t>(last >> 1)) {
            bool feedback = ((crc ^ last) & 1) != 0;
            crc = static_cast<uint16_t>(crc >> 1);
            if (feedback) crc ^= kReflectedPolynomial;
        }
    }
    return static_cast<uint16_t>(~crc);
}
