// CRC-16/X.25, the frame check sequence of every download-mode frame: polynomial 0x1021
// processed bit-reflected (0x8408), register preset to 0xFFFF, result complemented.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint16_t kCrc16Preset = 0xFFFF;

// CRC of the first `lengthInBits` bits of `bytes` (every caller passes eight times the byte
// count; a partial last byte contributes its low bits first, as the bit-reflected register
// takes them).
uint16_t Crc16(const uint8_t* bytes, uint32_t lengthInBits);

// Runs the register over more bytes, so that a frame's CRC can be taken over its command
// header and its payload chunk without copying them together. Start from kCrc16Preset;
// the CRC is the final register complemented.
uint16_t Crc16Update(uint16_t crcRegister, const uint8_t* bytes, std::size_t length);
