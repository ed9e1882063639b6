#include "tools/flash/several_handsets.h"

#include "session/clock.h"
#include "session/trace_log.h"
#include "tools/flash/child_processes.h"
#include "tools/flash/explain_command.h"
#include "tools/flash/handset_table.h"
#include "tools/flash/progress_event.h"
#include "tools/flash/run_folders.h"

namespace {

constexpr int kWaitSliceMs = 100;
constexpr uint64_t kDrainAfterEndMs = 2000;
constexpr const char* kChildErrorsFile = "stderr.txt";

// What the parent says of a child that ended without its last event: killed, crashed, or
// never started. Its trace's last line, else what it wrote on stderr, else its status.
ProgressEvent EndWithoutWord(const ProgressEvent& last, const std::string& folder, int status) {
    ProgressEvent event = last;
    event.outcome = InterruptRequested() ? kOutcomeInterrupted : kOutcomeFailed;
    event.lastLine = LastLineOf(ReadWholeText(folder + "/" + kTraceFileName));
    if (event.lastLine.empty()) event.lastLine = LastLineOf(ReadWholeText(folder + "/" + kChildErrorsFile));
    if (event.lastLine.empty()) event.lastLine = "ended with status " + std::to_string(status) + " and no trace";
    TraceReading reading;
    std::string error;
    if (ExplainTraceFile(folder + "/" + kTraceFileName, reading, error)) event.advice = reading.advice;
    return event;
}

// After the summary, on stderr: what to do with each handset that was not flashed.
void PrintAdvice(const HandsetTable& table, const std::vector<std::string>& names, std::FILE* err) {
    for (size_t row = 0; row < names.size(); ++row) {
        const ProgressEvent& event = table.Event(row);
        if (event.outcome == kOutcomeOk || event.advice.empty()) continue;
        std::fprintf(err, "%s: what to do: %s\n", names[row].c_str(), event.advice.c_str());
    }
}

// A child runs in its own folder: a relative POSIX path must still name the same device.
// Windows port names (\\.\wceusbsh001, \\?\usb#...) are never relative to a folder.
std::string ChildPortName(const std::string& port) {
#ifdef _WIN32
    return port;
#else
    return port.rfind('/', 0) == 0 ? port : AbsolutePath(port);
#endif
}

}  // namespace

int FlashSeveralHandsets(const SeveralHandsetsRun& run, std::FILE* out, std::FILE* err) {
    const std::string twice = PortNamedTwice(run.ports);
    if (!twice.empty()) {
        std::fprintf(err, "veltrane-flash: the port %s is named twice; each handset needs a port of its own\n",
                     twice.c_str());
        return 2;
    }
    const std::vector<std::string> names = RunFolderNames(run.ports);
    std::vector<std::string> folders;
    for (const std::string& name : names) {
        std::string error;
        folders.push_back(PrepareRunFolder(run.runs, name, error));
        if (folders.back().empty()) {  // refused before anything started
            std::fprintf(err, "veltrane-flash: %s\n", error.c_str());
            return 2;
        }
    }

    const bool json = run.format == ProgressFormat::kJson;
    HandsetTable table(names, json ? nullptr : out, run.terminal);
    auto show = [&](size_t row, ProgressEvent event) {
        if (table.Ended(row)) return;
        event.handset = run.ports[row];  // as the user named it, not as the child was told
        if (json) {
            std::fprintf(out, "%s\n", FormatProgressEvent(event).c_str());
            std::fflush(out);
        }
        table.Apply(row, event);
    };

    CatchInterrupts();
    ChildProcesses children;
    std::vector<size_t> rowOfChild;
    for (size_t row = 0; row < run.ports.size(); ++row) {
        std::vector<std::string> arguments = {"--port", ChildPortName(run.ports[row]), "--progress", "json"};
        arguments.insert(arguments.end(), run.shared.begin(), run.shared.end());
        std::string error;
        if (children.Start(run.program, arguments, folders[row], folders[row] + "/" + kChildErrorsFile, error)) {
            rowOfChild.push_back(row);
            continue;
        }
        ProgressEvent failed = table.Event(row);
        failed.outcome = kOutcomeFailed;
        failed.lastLine = error;
        TraceReading reading;
        if (ReadShownText(error, reading)) failed.advice = reading.advice;
        show(row, failed);
    }

    size_t exited = 0;
    bool endingAll = false;
    uint64_t endedAt = 0;
    // Ended: every child reported; or, once they were all asked to end, a second interrupt or
    // a last moment to drain their exits: a child that cannot end is not waited for.
    while (exited < children.Count() &&
           !(endingAll && (InterruptCount() >= 2 || MonotonicMs() - endedAt > kDrainAfterEndMs))) {
        children.Wait(
            kWaitSliceMs,
            [&](size_t child, const std::string& line) {
                ProgressEvent event;
                if (ParseProgressEvent(line, event)) show(rowOfChild[child], event);
            },
            [&](size_t child, int status) {
                ++exited;
                const size_t row = rowOfChild[child];
                if (!table.Ended(row)) show(row, EndWithoutWord(table.Event(row), folders[row], status));
            });
        if (InterruptRequested() && !endingAll) {
            endingAll = true;  // ended below; their exits come through Wait as interrupted
            children.EndAll();
            endedAt = MonotonicMs();
        }
        table.Draw(MonotonicMs(), false);
    }
    for (size_t child = 0; child < rowOfChild.size(); ++child) {
        const size_t row = rowOfChild[child];
        if (table.Ended(row)) continue;
        ProgressEvent lingering = table.Event(row);
        lingering.outcome = kOutcomeInterrupted;
        if (children.IsRunning(child)) {
            lingering.lastLine = "still running: it did not end when asked to";
            TraceReading reading;
            if (ReadShownText(lingering.lastLine, reading)) lingering.advice = reading.advice;
        } else {
            const ProgressEvent ended = EndWithoutWord(lingering, folders[row], 1);
            lingering.lastLine = ended.lastLine;
            lingering.advice = ended.advice;
        }
        show(row, lingering);
    }
    table.Draw(MonotonicMs(), true);
    if (!json) table.PrintSummary();
    PrintAdvice(table, names, err);
    return table.AllSucceeded() ? 0 : 1;
}
