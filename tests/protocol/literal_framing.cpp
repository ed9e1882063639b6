#include "tests/protocol/literal_framing.h"

#include <algorithm>
#include <cstddef>

uint16_t LiteralCrc16(const std::vector<uint8_t>& bytes) {
    uint16_t crc = 0xFFFF;
    for (uint8_t byte : bytes) {
        for (int bit = 0; bit < 8; ++bit) {
            bool feedback = ((crc ^ (byte >> bit)) & 1) != 0;
            crc = static_cast<uint16_t>(crc >> 1);
            if (feedback) crc ^= 0x8408;
        }
    }
    return static_cast<uint16_t>(~crc);
}

uint32_t LiteralEscape(std::vector<uint8_t>& body, uint8_t value) {
    uint32_t count = 0;
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] != value) continue;
        // The rest of the body moves one position toward the end.
        body.push_back(0);
        for (std::size_t k = body.size() - 1; k > i + 1; --k) body[k] = body[k - 1];
        body[i] = 0x7D;
        body[i + 1] = static_cast<uint8_t>(value ^ 0x20);
        ++i;  // resume behind the inserted pair
        ++count;
    }
    return count;
}

std::vector<uint8_t> LiteralFrame(const std::vector<uint8_t>& content) {
    std::vector<uint8_t> body = content;
    uint16_t crc = LiteralCrc16(content);
    body.push_back(static_cast<uint8_t>(crc & 0xFF));
    body.push_back(static_cast<uint8_t>(crc >> 8));
    LiteralEscape(body, 0x7D);
    LiteralEscape(body, 0x7E);
    std::vector<uint8_t> frame(body.size() + 2, 0x7E);
    std::copy(body.begin(), body.end(), frame.begin() + 1);
    return frame;
}

std::vector<uint8_t> LiteralUnframe(std::vector<uint8_t> buffer) {
    const std::size_t n = buffer.size();
    if (n == 0) return buffer;
    buffer.push_back(0);  // the cleared byte behind what was received
    buffer[0] = 0;
    buffer[n - 1] = 0;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (buffer[i] != 0x7D || (buffer[i + 1] != 0x5E && buffer[i + 1] != 0x5D)) continue;
        buffer[i] = static_cast<uint8_t>(buffer[i + 1] ^ 0x20);
        for (std::size_t k = i + 1; k + 1 < n; ++k) buffer[k] = buffer[k + 1];  // the rest moves toward the start
    }
    for (std::size_t k = 0; k < n; ++k) buffer[k] = buffer[k + 1];
    buffer.resize(n);
    return buffer;
}
