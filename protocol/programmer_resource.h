// The flash programmer (Intel HEX text) that the program carries: resource "EXE_" 219 of
// the Windows executable, the embedded bytes elsewhere. No programmer is read from disk.
#pragma once

#include <cstdint>
#include <span>

constexpr int kProgrammerResourceId = 219;

// The text; empty when the program carries none.
std::span<const uint8_t> ProgrammerHexText();
