// The two ways of running the CRC register over many bytes. The table (sixteen bytes per
// step) works everywhere; folding with carry-less multiplication (x86 processors with
// PCLMULQDQ) is several times faster on long buffers. Both give the same register.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t kCrc16FoldingMinimum = 128;

uint16_t Crc16UpdateTable(uint16_t crcRegister, const uint8_t* bytes, std::size_t length);

// True when folding is built for this architecture (x86, 32- and 64-bit).
bool Crc16FoldingBuilt();
// True when it is built and this processor can fold.
bool Crc16FoldingAvailable();
// For length >= kCrc16FoldingMinimum, on a processor that can fold.
uint16_t Crc16UpdateFolding(uint16_t crcRegister, const uint8_t* bytes, std::size_t length);
