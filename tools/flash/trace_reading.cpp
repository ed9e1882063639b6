#include "tools/flash/trace_reading.h"

#include <algorithm>
#include <string_view>

#include "package/image_slots.h"
#include "session/image_targets.h"
#include "tools/flash/progress_event.h"

namespace {

constexpr std::string_view kTraceStart = "Initial Mode : ";
constexpr std::string_view kFinishText = "Finish";

// A line that tells where the run is: a step's heading, or the handset's acknowledgement of
// the step under way (only looked for while that step is under way: "OK Open QCSBL " is the
// head of "OK Open QCSBL Header").
struct StepMarks {
    std::string word;
    std::string heading;
    std::string acknowledgement;  // empty: the step has none of its own
    std::string written;          // the file the acknowledgement makes whole, if any
    std::string acknowledged;     // or the name it gives the step
};

// The text up to its first line end: success texts run on into the next line (" OK ...").
std::string FirstLine(const char* text) {
    std::string line = text;
    return line.substr(0, line.find('\n'));
}

std::vector<StepMarks> BuildMarks() {
    std::vector<StepMarks> marks = {
        {kStepChecks, std::string(kTraceStart), "", "", ""},
        {kStepHost, "[PACKETSIZE", "", "", ""},
        {kStepPort, "==============Open Port =======================", "", "", ""},
        {kStepProgrammer, "==============Start Send HEX=====================", "OK HEX", "", "programmer"},
        {kStepGo, "==============start Go =============", "OK GO", "", "GO"},
        {kStepReconnect, "Sleep 5 sec", "", "", ""},
        {kStepHello, "==============start Initial Targ =============", "OK InitTag", "", "hello"},
        {kStepSecurityMode, "==============start secrete  =============", "OK Secret", "", "security mode"},
        {kStepPartitionTable, "==============start partition =============", "OK Partition",
         kSlotFileNames[kSlotPartition], ""},
    };
    for (const ImageTargetInfo& info : kImageTargets) {
        const std::string target = TargetStepWord(info.target);
        marks.push_back({target + kOpenSuffix, FirstLine(info.openHeading), FirstLine(info.openSuccess[0]),
                         info.openCarriesHeader ? kSlotFileNames[info.headerSlot] : "", ""});
        marks.push_back({target + kWriteSuffix, FirstLine(info.writeHeading), FirstLine(info.writeSuccess), "", ""});
        marks.push_back({target + kCloseSuffix, FirstLine(info.closeHeading), FirstLine(info.closeSuccess),
                         kSlotFileNames[info.bodySlot], ""});
    }
    return marks;
}

const std::vector<StepMarks>& Marks() {
    static const std::vector<StepMarks> marks = BuildMarks();
    return marks;
}

struct Position {
    const StepMarks* step = nullptr;
    bool acknowledged = false;
    std::string linesOfStep;  // what the step wrote since its heading
};

// Walks one line: headings move the run on; the step's own acknowledgement counts once.
void ReadLine(std::string_view line, Position& position, TraceReading& reading) {
    std::size_t from = 0;
    for (;;) {
        std::size_t nearest = std::string_view::npos;
        const StepMarks* heading = nullptr;
        for (const StepMarks& marks : Marks()) {
            std::size_t at = line.find(marks.heading, from);
            if (at < nearest) nearest = at, heading = &marks;
        }
        std::size_t acknowledgementAt = std::string_view::npos;
        if (position.step && !position.acknowledged && !position.step->acknowledgement.empty())
            acknowledgementAt = line.find(position.step->acknowledgement, from);
        if (acknowledgementAt < nearest) {
            position.acknowledged = true;
            const std::string& file = position.step->written;
            // Once each: a trace of ours names every step once (anything else is no run's order).
            if (!file.empty() && std::find(reading.written.begin(), reading.written.end(), file) == reading.written.end())
                reading.written.push_back(file);
            if (!position.step->acknowledged.empty()) reading.acknowledged.push_back(position.step->acknowledged);
            from = acknowledgementAt + position.step->acknowledgement.size();
            continue;
        }
        if (!heading) break;
        if (heading != position.step) {  // most headings are written twice
            position.step = heading;
            position.acknowledged = false;
            position.linesOfStep.clear();
        }
        from = nearest + heading->heading.size();
    }
    position.linesOfStep.append(line.substr(from));
    position.linesOfStep.push_back('\n');
}

// Whether the text is a run of the listed rows' texts of `step` ("NO qcsbl NO oemsbl ").
const RunEnding* ListedRun(const std::string& text, const std::string& step) {
    const RunEnding* first = nullptr;
    std::size_t at = 0;
    while (at < text.size()) {
        const RunEnding* word = nullptr;
        for (const RunEnding& ending : RunEndings())
            if (ending.listed && ending.step == step && text.compare(at, ending.text.size(), ending.text) == 0)
                word = &ending;
        if (!word) return nullptr;
        if (!first) first = word;
        at += word->text.size();
    }
    return first;
}

// The row the failure text belongs to: the step under way first, then the steps after it
// in run order (the reset writes no heading; the programmer's load fails before its own).
const RunEnding* FindEnding(const std::string& text, const Position& position) {
    const std::vector<RunStep>& steps = RunSteps();
    std::size_t first = 0;
    while (first < steps.size() && steps[first].word != position.step->word) ++first;
    for (std::size_t index = first; index < steps.size(); ++index) {
        if (const RunEnding* listed = ListedRun(text, steps[index].word)) return listed;
        for (const RunEnding& ending : RunEndings()) {
            if (ending.step != steps[index].word || !ending.inTrace || ending.listed) continue;
            if (!MatchesEndingText(text, ending.text)) continue;
            // A row told apart by an earlier line holds only for the step under way.
            if (!ending.precededBy.empty() &&
                (index != first || position.linesOfStep.find(ending.precededBy) == std::string::npos))
                continue;
            return &ending;
        }
    }
    return nullptr;
}

// The reading of a run that ended with the row's text (`failure` empty for a good end).
void EndedWith(const RunEnding& ending, const std::string& failure, TraceReading& reading) {
    reading.outcome = failure.empty() ? kTraceOk : kTraceFailed;
    reading.failure = failure;
    reading.ending = &ending;
    reading.step = FindRunStep(ending.step);
    reading.holds = ending.holds;
    reading.unplug = ending.unplug;
    reading.advice = ending.advice;
}

std::string IncompleteAdvice(const RunStep& step) {
    return std::string("The trace stops during ") + step.name +
           " without a failure text: the program was ended from outside (closed, killed, a crash, the "
           "desktop switched off) or is still running. Wait until it has ended. " + HoldsText(step.holds) +
           " Then run again.";
}

}  // namespace

bool ReadShownText(const std::string& text, TraceReading& reading) {
    reading = TraceReading{};
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    for (const RunEnding& ending : RunEndings()) {
        if (!MatchesEndingText(line, ending.text)) continue;
        EndedWith(ending, line, reading);
        return true;
    }
    return false;
}

bool ReadTrace(const std::string& bytes, TraceReading& reading, std::string& error) {
    reading = TraceReading{};
    if (bytes.compare(0, kTraceStart.size(), kTraceStart) != 0) {
        error = bytes.empty() ? "the file is empty" : "it does not begin with \"Initial Mode : \", as a run's trace does";
        return false;
    }
    Position position;
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        ReadLine(rest.substr(0, end), position, reading);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }

    const std::string last = LastLineOf(bytes);
    if (last == kFinishText) {
        EndedWith(*FinishedEnding(), {}, reading);
        return true;
    }
    if (const RunEnding* ending = FindEnding(last, position)) {
        EndedWith(*ending, last, reading);
        return true;
    }
    reading.step = FindRunStep(position.step->word);
    reading.holds = reading.step->holds;
    reading.unplug = Unplugging::kWhenEnded;
    reading.advice = IncompleteAdvice(*reading.step);
    return true;
}
