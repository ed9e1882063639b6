// The SHA-256 compression of whole 64-byte blocks, portable and with the processor's SHA
// extensions where it has them (the simulated handset hashes every megabyte it receives).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

using Sha256State = std::array<uint32_t, 8>;

void Sha256BlocksPortable(Sha256State& state, const uint8_t* blocks, std::size_t count);

// false, with the state untouched, where the processor has no SHA extensions.
bool Sha256BlocksAccelerated(Sha256State& state, const uint8_t* blocks, std::size_t count);
