#include "tools/flash/progress_event.h"


#include <cmath>

#include <nlohmann/json.hpp>

#include "tools/flash/trace_line_text.h"

namespace {

using Json = nlohmann::ordered_json;  // members in the order they are set

std::string* TextField(ProgressEvent& event, const std::string& name) {
    if (name == "handset") return &event.handset;
    if (name == "stage") return &event.stage;
    if (name == "image") return &event.image;
    if (name == "outcome") return &event.outcome;
    if (name == "last_line") return &event.lastLine;
    if (name == "advice") return &event.advice;
    return nullptr;
}

uint64_t* WholeField(ProgressEvent& event, const std::string& name) {
    if (name == "done") return &event.done;
    if (name == "total") return &event.total;
    if (name == "bytes_per_second") return &event.bytesPerSecond;
    return nullptr;
}

}  // namespace

std::string FormatProgressEvent(const ProgressEvent& event) {
    Json line;
    line["handset"] = event.handset;
    line["stage"] = event.stage;
    line["image"] = event.image;
    line["done"] = event.done;
    line["total"] = event.total;
    line["bytes_per_second"] = event.bytesPerSecond;
    line["elapsed"] = std::round(event.elapsed * 10) / 10;  // tenths of a second
    if (event.Ended()) {
        line["outcome"] = event.outcome;
        line["last_line"] = TraceLineText(event.lastLine);
        if (!event.advice.empty()) line["advice"] = event.advice;
    }
    // ASCII only (ensure_ascii); a name that is not UTF-8 shows U+FFFD where it is not.
    return line.dump(-1, ' ', true, Json::error_handler_t::replace);
}

bool ParseProgressEvent(const std::string& line, ProgressEvent& event) {
    const Json value = Json::parse(line, nullptr, false);
    if (value.is_discarded() || !value.is_object() || !value.contains("handset") || !value["handset"].is_string())
        return false;
    ProgressEvent parsed;
    for (const auto& [name, member] : value.items()) {
        if (std::string* text = TextField(parsed, name)) {
            if (!member.is_string()) return false;
            *text = member.get<std::string>();
        } else if (uint64_t* whole = WholeField(parsed, name)) {
            if (!member.is_number_unsigned()) return false;
            *whole = member.get<uint64_t>();
        } else if (name == "elapsed") {
            if (!member.is_number()) return false;
            parsed.elapsed = member.get<double>();
        }  // members of later versions are skipped
    }
    std::string bytes;
    if (!TraceLineBytes(parsed.lastLine, bytes)) return false;
    parsed.lastLine = bytes;
    event = parsed;
    return true;
}

std::string LastLineOf(const std::string& text) {
    size_t end = text.find_last_not_of("\r\n");
    if (end == std::string::npos) return {};
    size_t start = text.find_last_of('\n', end);
    start = start == std::string::npos ? 0 : start + 1;
    return text.substr(start, end + 1 - start);
}
