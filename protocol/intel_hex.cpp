#include "protocol/intel_hex.h"

#include <cstring>

int HexDigitValue(char character) {
    if (character >= '0' && character <= '9') return character - '0';
    if (character >= 'A' && character <= 'F') return character - 'A' + 10;
    if (character >= 'a' && character <= 'f') return character - 'a' + 10;
    return 0;
}

namespace {
uint8_t HexPair(const uint8_t* digits) {
    return static_cast<uint8_t>(HexDigitValue(static_cast<char>(digits[0])) << 4 |
                                HexDigitValue(static_cast<char>(digits[1])));
}

constexpr uint32_t kCountDigits = 2, kAddressDigits = 4, kTypeDigits = 2, kChecksumDigits = 2;
constexpr uint8_t kDataRecord = 0x00;
}  // namespace

uint32_t ConvertIntelHex(uint8_t* text, uint32_t length) {
    // Every data byte takes two characters of text and a record its ':', so the image
    // written at the front never catches up with the text still to be read.
    uint32_t image = 0;
    uint32_t position = 0;
    while (position < length) {
        const void* colon = std::memchr(text + position, ':', length - position);
        if (!colon) break;
        uint32_t start = static_cast<uint32_t>(static_cast<const uint8_t*>(colon) - text) + 1;
        if (length - start < kCountDigits + kAddressDigits + kTypeDigits) break;
        uint32_t count = HexPair(text + start);
        uint8_t type = HexPair(text + start + kCountDigits + kAddressDigits);
        uint32_t data = start + kCountDigits + kAddressDigits + kTypeDigits;
        uint32_t end = data + count * 2 + kChecksumDigits;
        if (end > length) {
            if (data + count * 2 > length) break;  // the data field itself is cut off
            end = length;                           // only the checksum is missing
        }
        if (type == kDataRecord) {
            for (uint32_t i = 0; i < count; ++i) text[image++] = HexPair(text + data + 2 * i);
        }
        position = end;
    }
    std::memset(text + image, 0, length - image);
    return image;
}
