// The host's requests, built by hand as the handset must see them, for the simulator's tests.
#pragma once

#include <cstdint>

#include "sim/handset_framing.h"

// A RAM write packet (0x0F): big-endian address and length, then the data.
Bytes RamWrite(uint32_t address, const Bytes& data);
// Packet `index` of a programmer image, as the loader sends it from 0x00A00000 in 4,096-byte packets.
Bytes ProgrammerPacket(const Bytes& image, uint32_t index);
// GO at 0x00A00000.
extern const Bytes kGo;
// Hello: 0x01, the host name, versions 3 and 2, feature bits 1.
Bytes Hello();
// A stream write (0x07): little-endian address, then the data; and its acknowledgement.
Bytes StreamWrite(uint32_t address, const Bytes& data);
Bytes StreamAck(uint32_t address);
