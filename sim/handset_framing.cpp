#include "sim/handset_framing.h"

#include "protocol/crc16.h"
#include "protocol/frame_escape.h"

void FrameCollector::Feed(const uint8_t* data, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        uint8_t byte = data[i];
        if (byte == kFrameFlag) {
            // A flag closes the body gathered so far and opens the next one; two flags in a
            // row are one frame boundary.
            if (inFrame_ && !body_.empty() && !overlong_) ready_.push_back(std::move(body_));
            body_.clear();
            overlong_ = false;
            inFrame_ = true;
            continue;
        }
        if (!inFrame_) continue;  // noise before the first flag
        if (body_.size() >= kLongestBody) {
            overlong_ = true;
            body_.clear();
        }
        if (!overlong_) body_.push_back(byte);
    }
}

bool FrameCollector::Next(Bytes& body) {
    if (nextReady_ >= ready_.size()) {
        ready_.clear();
        nextReady_ = 0;
        return false;
    }
    body = std::move(ready_[nextReady_++]);
    return true;
}

const char* VerdictName(RequestVerdict verdict) {
    switch (verdict) {
    case RequestVerdict::kGood: return "ok";
    case RequestVerdict::kBadEscape: return "bad-escape";
    case RequestVerdict::kTooShort: return "short";
    case RequestVerdict::kBadCrc: return "bad-crc";
    }
    return "?";
}

RequestVerdict DecodeRequest(const Bytes& body, Bytes& content) {
    content.clear();
    content.reserve(body.size());
    bool badEscape = false;
    for (std::size_t i = 0; i < body.size(); ++i) {
        uint8_t byte = body[i];
        if (byte == kEscapeByte) {
            uint8_t next = i + 1 < body.size() ? body[i + 1] : 0;
            if (i + 1 < body.size() && (next == (kEscapeByte ^ kEscapeXor) || next == (kFrameFlag ^ kEscapeXor))) {
                content.push_back(static_cast<uint8_t>(next ^ kEscapeXor));
                ++i;
                continue;
            }
            badEscape = true;
        }
        content.push_back(byte);
    }
    if (badEscape) return RequestVerdict::kBadEscape;
    if (content.size() < 3) return RequestVerdict::kTooShort;
    const std::size_t length = content.size() - 2;
    const uint16_t received = static_cast<uint16_t>(content[length] | content[length + 1] << 8);
    if (Crc16(content.data(), static_cast<uint32_t>(length * 8)) != received) return RequestVerdict::kBadCrc;
    content.resize(length);
    return RequestVerdict::kGood;
}

Bytes FrameReply(const Bytes& content, bool wrongCrc) {
    uint16_t crc = Crc16(content.data(), static_cast<uint32_t>(content.size() * 8));
    if (wrongCrc) crc = static_cast<uint16_t>(~crc);
    Bytes body = content;
    body.push_back(static_cast<uint8_t>(crc & 0xFF));
    body.push_back(static_cast<uint8_t>(crc >> 8));
    Bytes frame(body.size() * 2 + 16 + 2);
    frame[0] = kFrameFlag;
    uint8_t* end = EscapeInto(frame.data() + 1, body.data(), body.size());
    *end++ = kFrameFlag;
    frame.resize(static_cast<std::size_t>(end - frame.data()));
    return frame;
}
