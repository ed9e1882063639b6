#include "tools/flash/explain_command.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <system_error>

#include <nlohmann/json.hpp>

#include "tools/flash/run_folders.h"
#include "tools/flash/trace_line_text.h"

namespace fs = std::filesystem;

namespace {

using Json = nlohmann::ordered_json;

const char kExplainUsage[] =
    "usage: veltrane-flash explain TRACE... [--json]\n"
    "\n"
    "Reads trace.txt files of Veltrane.exe or veltrane-flash (one handset's, or the run folders of\n"
    "several) and says for each where the run ended, the failure text, what the handset\n"
    "acknowledged, what it holds and what to do. With several traces: one row each, then how many\n"
    "runs ended with each text.\n"
    "  --json  one JSON object per trace on its own line instead\n"
    "Status 0 when every trace was read, 1 when one could not be, 2 for a usage error.\n";

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text.empty() ? "nothing" : text;
}

std::string EndedAt(const TraceReading& reading) {
    const std::string where = reading.step ? reading.step->name + " (" + reading.step->word + ")" : "?";
    if (reading.outcome == std::string(kTraceOk)) return "finished";
    if (reading.outcome == std::string(kTraceFailed)) return "failed at " + where;
    return "incomplete: stops during " + where;
}

void PrintOne(std::FILE* out, const std::string& path, const TraceReading& reading) {
    std::fprintf(out, "%s: %s\n", path.c_str(), EndedAt(reading).c_str());
    if (!reading.failure.empty()) std::fprintf(out, "  failure:      %s\n", reading.failure.c_str());
    std::fprintf(out, "  acknowledged: %s\n", Joined(reading.acknowledged).c_str());
    std::fprintf(out, "  written:      %s\n", Joined(reading.written).c_str());
    std::fprintf(out, "  holds:        %s: %s\n", HoldsWord(reading.holds), HoldsText(reading.holds));
    if (reading.ending) std::fprintf(out, "  meaning:      %s\n", reading.ending->meaning.c_str());
    std::fprintf(out, "  unplug:       %s\n", UnpluggingText(reading.unplug));
    std::fprintf(out, "  what to do:   %s\n", reading.advice.c_str());
}

// The key a bench counts endings by: the text, and its step where one text has several.
std::string EndingKey(const TraceReading& reading) {
    const std::string step = reading.step ? reading.step->word : "?";
    if (reading.outcome == std::string(kTraceOk)) return "Finish";
    if (reading.outcome == std::string(kTraceIncomplete)) return "(the trace stops during " + step + ")";
    return "\"" + reading.failure + "\" (" + step + ")";
}

}  // namespace

bool ExplainTraceFile(const std::string& path, TraceReading& reading, std::string& error) {
    std::error_code failure;
    const fs::path file = PathOfText(path);
    const fs::file_status status = fs::status(file, failure);
    if (failure || !fs::exists(status)) {
        error = "no such file";
        return false;
    }
    if (fs::is_directory(status)) {
        error = "a folder, not a trace";
        return false;
    }
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        error = "cannot be read";
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    if (stream.bad()) {
        error = "cannot be read";
        return false;
    }
    return ReadTrace(bytes, reading, error);
}

std::string ExplainJson(const std::string& path, const TraceReading& reading) {
    Json line;
    line["trace"] = path;
    line["outcome"] = reading.outcome;
    line["failure"] = reading.failure.empty() ? Json(nullptr) : Json(TraceLineText(reading.failure));
    line["step"] = reading.step ? reading.step->word : "";
    line["holds"] = HoldsWord(reading.holds);
    line["written"] = reading.written;
    line["acknowledged"] = reading.acknowledged;
    line["unplug"] = UnpluggingWord(reading.unplug);
    line["advice"] = reading.advice;
    return line.dump(-1, ' ', true, Json::error_handler_t::replace);
}

std::string AdviceLines(const TraceReading& reading) {
    std::string lines = "The run ended at " + (reading.step ? reading.step->name : std::string("?")) + ". " +
                        HoldsText(reading.holds) + "\n";
    if (!reading.written.empty()) lines += "Written and acknowledged: " + Joined(reading.written) + ".\n";
    lines += std::string("Unplug: ") + UnpluggingText(reading.unplug) + "\n";
    lines += "What to do: " + reading.advice + "\n";
    return lines;
}

int RunExplain(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err) {
    bool json = false;
    std::vector<std::string> traces;
    for (const std::string& argument : arguments) {
        if (argument == "--json") json = true;
        else if (argument == "--help" || argument == "-h") {
            std::fputs(kExplainUsage, out);
            return 0;
        } else if (argument.rfind("--", 0) == 0) {
            std::fprintf(err, "veltrane-flash explain: unexpected argument '%s'\n%s", argument.c_str(), kExplainUsage);
            return 2;
        } else traces.push_back(argument);
    }
    if (traces.empty()) {
        std::fprintf(err, "veltrane-flash explain: name at least one trace\n%s", kExplainUsage);
        return 2;
    }

    int status = 0;
    std::vector<std::pair<std::string, TraceReading>> read;
    for (const std::string& path : traces) {
        TraceReading reading;
        std::string error;
        if (!ExplainTraceFile(path, reading, error)) {
            std::fprintf(err, "veltrane-flash explain: %s: %s\n", path.c_str(), error.c_str());
            status = 1;
            continue;
        }
        if (json) std::fprintf(out, "%s\n", ExplainJson(path, reading).c_str());
        read.emplace_back(path, reading);
    }
    if (json) return status;
    if (traces.size() == 1) {
        if (!read.empty()) PrintOne(out, read.front().first, read.front().second);
        return status;
    }

    std::size_t width = 5;
    for (const auto& [path, reading] : read) width = std::max(width, path.size());
    std::fprintf(out, "%-*s  %-10s  %-20s  %-18s  %s\n", static_cast<int>(width), "TRACE", "OUTCOME", "STEP", "HOLDS",
                 "FAILURE");
    std::map<std::string, std::pair<int, const TraceReading*>> endings;
    std::vector<std::string> order;
    for (const auto& [path, reading] : read) {
        std::fprintf(out, "%-*s  %-10s  %-20s  %-18s  %s\n", static_cast<int>(width), path.c_str(), reading.outcome,
                     reading.step ? reading.step->word.c_str() : "?", HoldsWord(reading.holds), reading.failure.c_str());
        const std::string key = EndingKey(reading);
        if (!endings.count(key)) order.push_back(key);
        auto& [count, example] = endings[key];
        ++count;
        example = &reading;
    }
    // The most frequent ending first; ties in the order the traces were named.
    std::stable_sort(order.begin(), order.end(),
                     [&](const std::string& a, const std::string& b) { return endings[a].first > endings[b].first; });
    std::fprintf(out, "\nEndings:\n");
    for (const std::string& key : order) {
        const auto& [count, example] = endings[key];
        std::fprintf(out, "  %4d  %s\n", count, key.c_str());
        if (example->outcome != std::string(kTraceOk)) std::fprintf(out, "        what to do: %s\n", example->advice.c_str());
    }
    return status;
}
