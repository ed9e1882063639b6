#include "tools/flash/trace_line_text.h"

std::string TraceLineText(const std::string& bytes) {
    std::string text;
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

bool TraceLineBytes(const std::string& text, std::string& bytes) {
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            bytes += static_cast<char>(c);
            continue;
        }
        // Only U+0080..U+00FF, written as C2 or C3 and one continuation byte, is a byte.
        if ((c != 0xC2 && c != 0xC3) || i + 1 == text.size()) return false;
        const unsigned char next = static_cast<unsigned char>(text[++i]);
        if ((next & 0xC0) != 0x80) return false;
        bytes += static_cast<char>(((c & 0x03) << 6) | (next & 0x3F));
    }
    return true;
}
