// Byte stuffing of frame bodies: 0x7D and 0x7E never appear inside a frame's body
// (between the two 0x7E flags). Each 0x7D goes out as 0x7D 0x5D and each 0x7E as 0x7D 0x5E.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint8_t kFrameFlag = 0x7E;
constexpr uint8_t kEscapeByte = 0x7D;
constexpr uint8_t kEscapeXor = 0x20;

// Escapes every occurrence of `value` in the first `length` bytes of `buffer`, in place:
// the occurrence becomes 0x7D followed by value ^ 0x20 and the rest moves toward the end.
// The inserted pairs are not scanned again. Returns the number of insertions; the buffer
// must have room for `length` plus that many bytes. One pass, whatever the content.
uint32_t EscapeFrame(uint8_t* buffer, uint32_t length, uint8_t value);

// Removes escapes from the first `length` bytes of `buffer`, in place, left to right:
// 0x7D 0x5E becomes 0x7E, 0x7D 0x5D becomes 0x7D (the byte produced is not examined again),
// a 0x7D followed by anything else stays as it is. The bytes behind move toward the start
// and the positions they leave at the end become 0. Returns the number of pairs removed.
uint32_t UnescapeFrame(uint8_t* buffer, uint32_t length);

// Writes `length` bytes of `in` to `out` with both 0x7D and 0x7E escaped (the same bytes as
// EscapeFrame for 0x7D followed by EscapeFrame for 0x7E) and returns the end of the output.
// `out` must not overlap `in` and needs room for twice `length` plus 16 bytes: up to 16
// bytes beyond the returned end may be overwritten.
uint8_t* EscapeInto(uint8_t* out, const uint8_t* in, std::size_t length);

// Writes the unescaped form of `length` bytes of `in` to `out` (same rules as UnescapeFrame)
// and returns the end of the output. `out` may equal or precede `in` in the same buffer
// (then nothing beyond the input is touched); a separate `out` needs room for `length` plus
// 16 bytes, up to 16 bytes beyond the returned end being overwritten. Adds the number of
// pairs removed to `*pairs`.
uint8_t* UnescapeInto(uint8_t* out, const uint8_t* in, std::size_t length, uint32_t* pairs);
