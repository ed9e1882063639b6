#include "tools/flash/handset_table.h"

#include <algorithm>

#include "tools/flash/console_display.h"
#include "tools/flash/shown_names.h"
#include "tools/flash/terminal_lines.h"

namespace {
constexpr uint64_t kDrawIntervalMs = 100;
constexpr std::size_t kNameColumn = 14;   // at least, so that short names line up
constexpr std::size_t kNarrowestName = 6;
// " stage(16) image(9) 100%  999.99 MB/s  h:mm:ss", as RowLine writes them.
constexpr std::size_t kFiguresWidth = 1 + 16 + 1 + 9 + 1 + 4 + 2 + 6 + 5 + 2 + 7;

std::string StageOf(const ProgressEvent& event) {
    if (event.outcome == kOutcomeOk) return "OK";
    if (event.Ended()) return event.outcome;
    return event.stage.empty() ? kStageStarting : event.stage;
}
}  // namespace

HandsetTable::HandsetTable(std::vector<std::string> names, std::FILE* out, bool terminal)
    : out_(out), terminal_(terminal) {
    const std::vector<std::string> shown = ShownNames(names);
    for (std::size_t i = 0; i < names.size(); ++i) rows_.push_back(Row{std::move(names[i]), shown[i], ProgressEvent{}});
}

void HandsetTable::Apply(size_t row, const ProgressEvent& event) {
    Row& kept = rows_[row];
    if (kept.event.Ended()) return;  // the first outcome stands
    const bool newStage = event.stage != kept.event.stage || event.image != kept.event.image;
    kept.event = event;
    if (!out_ || terminal_ || !(newStage || event.Ended())) return;
    const std::string detail = event.outcome == kOutcomeOk ? "" : event.lastLine;
    if (event.Ended())
        std::fprintf(out_, "%s: %s%s%s\n", kept.name.c_str(), StageOf(event).c_str(), detail.empty() ? "" : ": ",
                     detail.c_str());
    else
        std::fprintf(out_, "%s: %s%s%s\n", kept.name.c_str(), event.stage.c_str(), event.image.empty() ? "" : " ",
                     event.image.c_str());
    std::fflush(out_);
}

std::string HandsetTable::RowLine(const Row& row, std::size_t nameWidth) const {
    const ProgressEvent& event = row.event;
    char figures[120];
    const unsigned percent = event.total ? static_cast<unsigned>(event.done * 100 / event.total) : 0;
    std::snprintf(figures, sizeof figures, " %-16s %-9s %3u%%  %6.2f MB/s  %s", StageOf(event).c_str(),
                  event.image.c_str(), percent, static_cast<double>(event.bytesPerSecond) / 1e6,
                  HumanDuration(static_cast<uint64_t>(event.elapsed)).c_str());
    std::string name = FitName(row.shown, nameWidth);
    name.resize(std::max(nameWidth, name.size()), ' ');
    return "  " + name + figures;
}

void HandsetTable::Draw(uint64_t nowMs, bool force) {
    if (!out_ || !terminal_ || (!force && drawn_ && nowMs - lastDrawMs_ < kDrawIntervalMs)) return;
    // The name column takes what the figures leave of the terminal's width less one column
    // (the rows would wrap, and each redraw add a copy of the table); a name cut keeps its end.
    std::size_t nameWidth = kNameColumn;
    for (const Row& row : rows_) nameWidth = std::max(nameWidth, row.shown.size());
    const std::size_t columns = TerminalColumns(out_);
    if (columns > kFiguresWidth + 2 + kNarrowestName) nameWidth = std::min(nameWidth, columns - 1 - kFiguresWidth - 2);
    if (drawn_) MoveUpLines(out_, rows_.size());  // back to the first row
    for (const Row& row : rows_) {
        RewriteLine(out_, RowLine(row, nameWidth));
        std::fputc('\n', out_);
    }
    std::fflush(out_);
    drawn_ = true;
    lastDrawMs_ = nowMs;
}

void HandsetTable::PrintSummary() {
    std::vector<std::string> interrupted = Interrupted();
    if (!interrupted.empty()) {
        std::string names;
        for (const std::string& name : interrupted) names += (names.empty() ? "" : ", ") + name;
        std::fprintf(out_, "Interrupted: %s\n", names.c_str());
    }
    std::fprintf(out_, "Summary:\n");
    for (const Row& row : rows_) {
        const ProgressEvent& event = row.event;
        if (event.outcome == kOutcomeOk) std::fprintf(out_, "  %-14s OK\n", row.name.c_str());
        else
            std::fprintf(out_, "  %-14s %s: %s\n", row.name.c_str(), event.Ended() ? event.outcome.c_str() : kOutcomeFailed,
                         event.lastLine.c_str());
    }
    std::fflush(out_);
}

bool HandsetTable::AllSucceeded() const {
    for (const Row& row : rows_)
        if (row.event.outcome != kOutcomeOk) return false;
    return true;
}

std::vector<std::string> HandsetTable::Interrupted() const {
    std::vector<std::string> names;
    for (const Row& row : rows_)
        if (row.event.outcome == kOutcomeInterrupted) names.push_back(row.name);
    return names;
}
