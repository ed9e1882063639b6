// The framing procedure carried out literally, step by step, with the body shifted at
// each escape: slow, but a direct reading of how frames are defined, against which the
// program's one-pass framing is compared.
#pragma once

#include <cstdint>
#include <vector>

uint16_t LiteralCrc16(const std::vector<uint8_t>& bytes);
// Escapes `value` in body[0 .. length) by shifting the rest; returns the count.
uint32_t LiteralEscape(std::vector<uint8_t>& body, uint8_t value);
// flag, body (content + CRC low, high) escaped for 0x7D then 0x7E, flag.
std::vector<uint8_t> LiteralFrame(const std::vector<uint8_t>& content);
// The first `received` bytes of the receive buffer after unframing `received` bytes of a
// buffer that was zero beyond them.
std::vector<uint8_t> LiteralUnframe(std::vector<uint8_t> received);
