// The simulator's log of every request it received (format in its --help).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "sim/handset_framing.h"

// One log line, without its line end.
std::string RequestLogLine(uint32_t number, RequestVerdict verdict, const Bytes& content);

class RequestLog {
public:
    RequestLog() = default;
    ~RequestLog();
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    bool Open(const std::string& path);  // an empty path logs nothing
    void Write(uint32_t number, RequestVerdict verdict, const Bytes& content);

private:
    std::FILE* file_ = nullptr;
};
