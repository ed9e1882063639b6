#include "sim/handset_framing.h"

#include <algorithm>
#include <cstring>

#include "protocol/crc16.h"
#include "protocol/frame_escape.h"

void FrameCollector::Feed(const uint8_t* data, std::size_t length) {
    // Whole runs between flags at a time: a stream write brings most of a megabyte.
    const uint8_t* end = data + length;
    while (data < end) {
        const auto* flag = static_cast<const uint8_t*>(std::memchr(data, kFrameFlag, static_cast<std::size_t>(end - data)));
        const uint8_t* runEnd = flag ? flag : end;
        const auto run = static_cast<std::size_t>(runEnd - data);
        if (inFrame_ && !overlong_) {  // before the first flag is noise
            if (body_.size() + run > kLongestBody) {
                overlong_ = true;
                body_.clear();
            } else {
                body_.insert(body_.end(), data, runEnd);
            }
        }
        if (!flag) break;
        // A flag closes the body gathered so far and opens the next one; two flags in a row
        // are one frame boundary.
        if (inFrame_ && !body_.empty() && !overlong_) ready_.push_back(std::move(body_));
        body_.clear();
        overlong_ = false;
        inFrame_ = true;
        data = flag + 1;
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
    content.resize(body.size() + 16);  // UnescapeInto may write up to 16 bytes beyond its end
    uint32_t pairs = 0;
    const uint8_t* end = UnescapeInto(content.data(), body.data(), body.size(), &pairs);
    content.resize(static_cast<std::size_t>(end - content.data()));
    // Every 0x7D opens a pair; one left over stands alone: an escape the host never makes.
    const auto escapes = static_cast<std::size_t>(std::count(body.begin(), body.end(), kEscapeByte));
    if (escapes != pairs) return RequestVerdict::kBadEscape;
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
