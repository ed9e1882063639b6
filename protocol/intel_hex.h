// The flash programmer travels as Intel HEX text; the handset wants the bytes.
#pragma once

#include <cstdint>

// 0..9 for '0'..'9', 10..15 for 'A'..'F' and 'a'..'f', 0 for any other character.
int HexDigitValue(char character);

// Turns the text in place into the concatenation of its data records' data fields, in the
// order of the records (addresses, other record types and checksums are not looked at).
// The image starts at text[0], the rest of the buffer is cleared, and the image length is
// returned. A record cut short by the end of the text contributes nothing.
uint32_t ConvertIntelHex(uint8_t* text, uint32_t length);
