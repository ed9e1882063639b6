#include "tools/flash/progress_event.h"

#include <cstdio>
#include <cstdlib>

namespace {

void AppendString(std::string& out, const std::string& text) {
    out += '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c > 0x7E) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

void AppendField(std::string& out, const char* name, const std::string& value) {
    out += out.size() > 1 ? ",\"" : "\"";
    out += name;
    out += "\":";
    AppendString(out, value);
}

void AppendNumber(std::string& out, const char* name, const char* format, double value) {
    char text[40];
    std::snprintf(text, sizeof text, format, value);
    out += ",\"";
    out += name;
    out += "\":";
    out += text;
}

class Reader {
public:
    explicit Reader(const std::string& text) : text_(text) {}

    bool Take(char c) {
        SkipBlanks();
        if (at_ >= text_.size() || text_[at_] != c) return false;
        ++at_;
        return true;
    }
    bool AtEnd() {
        SkipBlanks();
        return at_ == text_.size();
    }
    bool String(std::string& value) {
        value.clear();
        if (!Take('"')) return false;
        while (at_ < text_.size()) {
            char c = text_[at_++];
            if (c == '"') return true;
            if (c != '\\') {
                value += c;
                continue;
            }
            if (at_ >= text_.size()) return false;
            char kind = text_[at_++];
            if (kind == 'u') {
                if (at_ + 4 > text_.size()) return false;
                char* end = nullptr;
                std::string digits = text_.substr(at_, 4);
                unsigned long code = std::strtoul(digits.c_str(), &end, 16);
                if (end != digits.c_str() + 4 || code > 0xFF) return false;  // we write bytes only
                value += static_cast<char>(code);
                at_ += 4;
            } else if (kind == 'n') value += '\n';
            else if (kind == 't') value += '\t';
            else if (kind == 'r') value += '\r';
            else if (kind == '"' || kind == '\\' || kind == '/') value += kind;
            else return false;
        }
        return false;
    }
    bool Number(double& value) {
        SkipBlanks();
        const char* start = text_.c_str() + at_;
        char* end = nullptr;
        value = std::strtod(start, &end);
        if (end == start) return false;
        at_ += static_cast<size_t>(end - start);
        return true;
    }
    bool Literal() {  // true, false, null: skipped
        SkipBlanks();
        for (const char* word : {"true", "false", "null"}) {
            std::string literal = word;
            if (text_.compare(at_, literal.size(), literal) == 0) {
                at_ += literal.size();
                return true;
            }
        }
        return false;
    }
    char Peek() {
        SkipBlanks();
        return at_ < text_.size() ? text_[at_] : '\0';
    }

private:
    void SkipBlanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r')) ++at_;
    }
    const std::string& text_;
    size_t at_ = 0;
};

std::string* TextField(ProgressEvent& event, const std::string& name) {
    if (name == "handset") return &event.handset;
    if (name == "stage") return &event.stage;
    if (name == "image") return &event.image;
    if (name == "outcome") return &event.outcome;
    if (name == "last_line") return &event.lastLine;
    return nullptr;
}

void SetNumberField(ProgressEvent& event, const std::string& name, double value) {
    const auto whole = value > 0 ? static_cast<uint64_t>(value) : 0;
    if (name == "done") event.done = whole;
    else if (name == "total") event.total = whole;
    else if (name == "bytes_per_second") event.bytesPerSecond = whole;
    else if (name == "elapsed") event.elapsed = value;
}

}  // namespace

std::string FormatProgressEvent(const ProgressEvent& event) {
    std::string out = "{";
    AppendField(out, "handset", event.handset);
    AppendField(out, "stage", event.stage);
    AppendField(out, "image", event.image);
    AppendNumber(out, "done", "%.0f", static_cast<double>(event.done));
    AppendNumber(out, "total", "%.0f", static_cast<double>(event.total));
    AppendNumber(out, "bytes_per_second", "%.0f", static_cast<double>(event.bytesPerSecond));
    AppendNumber(out, "elapsed", "%.1f", event.elapsed);
    if (event.Ended()) {
        AppendField(out, "outcome", event.outcome);
        AppendField(out, "last_line", event.lastLine);
    }
    return out + "}";
}

bool ParseProgressEvent(const std::string& line, ProgressEvent& event) {
    Reader reader(line);
    ProgressEvent parsed;
    bool sawHandset = false;
    if (!reader.Take('{')) return false;
    if (!reader.Take('}')) {
        do {
            std::string name;
            if (!reader.String(name) || !reader.Take(':')) return false;
            if (reader.Peek() == '"') {
                std::string value;
                if (!reader.String(value)) return false;
                if (std::string* field = TextField(parsed, name)) *field = value;
                sawHandset = sawHandset || name == "handset";
            } else if (!reader.Literal()) {
                double value = 0;
                if (!reader.Number(value)) return false;
                SetNumberField(parsed, name, value);
            }
        } while (reader.Take(','));
        if (!reader.Take('}')) return false;
    }
    if (!reader.AtEnd() || !sawHandset) return false;
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
