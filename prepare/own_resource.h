// Resources carried by the program's own module (the handset agent, "EXE_" 3123).
#pragma once

#include <cstdint>
#include <span>

// The resource's bytes, valid for the life of the process; empty when the module carries
// no such resource (always so where there is no Windows).
std::span<const uint8_t> OwnResource(const char* type, const char* name);
