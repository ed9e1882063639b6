// The programmer's text linked into the program, from the file that the build validated.
#include <cstddef>

#include "protocol/programmer_resource.h"

extern const unsigned char kEmbeddedProgrammerHex[];
extern const std::size_t kEmbeddedProgrammerHexSize;

std::span<const uint8_t> ProgrammerHexText() {
    return {reinterpret_cast<const uint8_t*>(kEmbeddedProgrammerHex), kEmbeddedProgrammerHexSize};
}
