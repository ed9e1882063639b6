#include "sim/request_log.h"

#include "tools/digest/sha256.h"

namespace {
constexpr std::size_t kWholeUpTo = 8192;
constexpr std::size_t kPrefix = 32;

void AppendHex(std::string& text, const uint8_t* bytes, std::size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < length; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 15]);
    }
}
}  // namespace

std::string RequestLogLine(uint32_t number, RequestVerdict verdict, const Bytes& content) {
    std::string line = std::to_string(number) + " " + VerdictName(verdict) + " " + std::to_string(content.size()) + " ";
    if (content.size() <= kWholeUpTo) {
        AppendHex(line, content.data(), content.size());
    } else {
        AppendHex(line, content.data(), kPrefix);
        line += "...sha256:" + Sha256Hex(content.data(), content.size());
    }
    return line;
}

RequestLog::~RequestLog() {
    if (file_) std::fclose(file_);
}

bool RequestLog::Open(const std::string& path) {
    if (path.empty()) return true;
    file_ = std::fopen(path.c_str(), "w");
    return file_ != nullptr;
}

void RequestLog::Write(uint32_t number, RequestVerdict verdict, const Bytes& content) {
    if (!file_) return;
    std::string line = RequestLogLine(number, verdict, content);
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
}
