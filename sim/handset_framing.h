// The handset's side of the framing: requests are cut out of the byte stream at the 0x7E
// flags and checked strictly (a boot loader drops a frame with a bad escape or CRC without
// a word); replies are framed with the CRC, right or deliberately wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Collects frame bodies (the bytes between two flags) from what the line delivers, in
// whatever pieces it comes.
class FrameCollector {
public:
    void Feed(const uint8_t* data, std::size_t length);
    // The next complete body, if any.
    bool Next(Bytes& body);

private:
    static constexpr std::size_t kLongestBody = 8u << 20;  // longer is line noise
    bool inFrame_ = false;
    bool overlong_ = false;
    Bytes body_;
    std::vector<Bytes> ready_;
    std::size_t nextReady_ = 0;
};

enum class RequestVerdict { kGood, kBadEscape, kTooShort, kBadCrc };

const char* VerdictName(RequestVerdict verdict);

// Unescapes a body and checks its CRC. On kGood, `content` is the request without its CRC;
// otherwise it holds what could be unescaped.
RequestVerdict DecodeRequest(const Bytes& body, Bytes& content);

// flag, escaped content and CRC (complemented when `wrongCrc`), flag.
Bytes FrameReply(const Bytes& content, bool wrongCrc = false);
