#include "tools/flash/console_display.h"

#include <cstring>

#include "session/clock.h"
#include "session/process_values.h"
#include "session/session_state.h"
#include "session/thread_start.h"
#include "tools/flash/terminal_lines.h"

namespace {
constexpr uint64_t kRenderIntervalMs = 100;  // ten updates a second at most
constexpr uint64_t kPlainPortWaitMs = 1000;  // a log gets one search line a second
}

std::string HumanBytes(uint64_t bytes) {
    char text[32];
    if (bytes >= 1000000) std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    else if (bytes >= 1000) std::snprintf(text, sizeof text, "%.0f kB", static_cast<double>(bytes) / 1e3);
    else std::snprintf(text, sizeof text, "%u B", static_cast<unsigned>(bytes));
    return text;
}

std::string HumanDuration(uint64_t seconds) {
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%u:%02u:%02u", static_cast<unsigned>(seconds / 3600),
                      static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
    else
        std::snprintf(text, sizeof text, "%u:%02u", static_cast<unsigned>(seconds / 60), static_cast<unsigned>(seconds % 60));
    return text;
}

ConsoleDisplay::ConsoleDisplay(std::FILE* out, bool terminal, SessionState& session, ProgressFormat format,
                               std::string handset)
    : out_(out), terminal_(terminal && format == ProgressFormat::kText), format_(format),
      handset_(std::move(handset)), session_(session) {
    runStartMs_ = MonotonicMs();
    stageStartMs_ = runStartMs_;
}

const char* ConsoleDisplay::StageName(int labelControl, const char* labelText) {
    switch (labelControl) {
    case 3017: return "programmer";
    case 3018: return "partition table";
    case 3019: return "QCSBL";
    case 3020: return "OEMSBL";
    case 3022: return "AMSS";
    case 3021: return "APPSBOOT";
    case 3023:  // FLASH.bin and CEFS share one label
        return std::strstr(labelText, "CEFS") || std::strstr(labelText, "6th") ? "CEFS" : "FLASH.bin";
    default: return nullptr;
    }
}

void ConsoleDisplay::SetControlText(int control, const std::string& text) {
    ScopedThreadLock hold(lock_);
    if (control == kControlStatusText) status_ = text;
}

std::string ConsoleDisplay::GetControlText(int control) {
    ScopedThreadLock hold(lock_);
    return control == kControlStatusText ? status_ : std::string();
}

bool ConsoleDisplay::GetCheck(int control) { return control == kControlErased && erased_; }

void ConsoleDisplay::SetCheck(int control, bool checked) {
    if (control == kControlErased) erased_ = checked;
}

uint64_t ConsoleDisplay::StageBytes() const { return session_.doneBytes.load(); }

void ConsoleDisplay::ShowStepLabel(const LabelRequest& request, const char* text) {
    const char* name = StageName(request.labelControl, text);
    if (!name) return;
    Render(true);  // the last figures of the stage before
    ScopedThreadLock hold(lock_);
    EndOpenLine();
    bytesBeforeStage_ += StageBytes();
    stage_ = name;
    const bool image = request.labelControl >= 3019 && request.labelControl <= 3023;
    image_ = image ? name : "";
    stageStartMs_ = MonotonicMs();
    if (format_ == ProgressFormat::kJson) {
        ProgressEvent event = Snapshot(stageStartMs_);
        event.done = event.total = event.bytesPerSecond = 0;  // the stage's transfer has not begun
        WriteEvent(event);
        return;
    }
    std::fprintf(out_, "%s\n", name);
    std::fflush(out_);
}

ProgressEvent ConsoleDisplay::Snapshot(uint64_t now) const {
    ProgressEvent event;
    event.handset = handset_;
    event.stage = image_.empty() ? stage_ : kStageImages;
    event.image = image_;
    event.done = session_.doneBytes.load();
    event.total = session_.totalBytes.load();
    double seconds = static_cast<double>(now - stageStartMs_) / 1000.0;
    event.bytesPerSecond = seconds > 0 ? static_cast<uint64_t>(static_cast<double>(event.done) / seconds) : 0;
    event.elapsed = static_cast<double>(now - runStartMs_) / 1000.0;
    return event;
}

void ConsoleDisplay::WriteEvent(const ProgressEvent& event) {
    std::fprintf(out_, "%s\n", FormatProgressEvent(event).c_str());
    std::fflush(out_);
}

void ConsoleDisplay::SetProgressPosition(int) { Render(false); }

void ConsoleDisplay::Render(bool force) {
    ScopedThreadLock hold(lock_);
    uint64_t now = MonotonicMs();
    if (!force && now - lastRenderMs_ < kRenderIntervalMs) return;
    lastRenderMs_ = now;
    const ProgressEvent event = Snapshot(now);
    if (event.total == 0) return;
    if (format_ == ProgressFormat::kJson) return WriteEvent(event);
    const uint64_t bytes = event.done;
    const uint64_t totalBytes = event.total;
    const double rate = static_cast<double>(event.bytesPerSecond);
    uint64_t left = rate > 0 && totalBytes > bytes ? static_cast<uint64_t>(static_cast<double>(totalBytes - bytes) / rate) : 0;
    unsigned percent = static_cast<unsigned>(bytes * 100 / totalBytes);
    char line[200];
    std::snprintf(line, sizeof line, "  %-15s %3u%%  %9s / %-9s  %9s/s  left %s  elapsed %s", stage_.c_str(), percent,
                  HumanBytes(bytes).c_str(), HumanBytes(totalBytes).c_str(), HumanBytes(static_cast<uint64_t>(rate)).c_str(),
                  HumanDuration(left).c_str(), HumanDuration((now - runStartMs_) / 1000).c_str());
    if (terminal_) {
        RewriteLine(out_, line);
        openLine_ = OpenLine::kProgress;
    } else {
        std::fprintf(out_, "%s\n", line);
    }
    std::fflush(out_);
}

void ConsoleDisplay::RunEnded(int showFinishPage) {
    Render(true);
    ScopedThreadLock hold(lock_);
    EndOpenLine();
    if (showFinishPage == 1) finished_ = 1;
    std::fflush(out_);
}

void ConsoleDisplay::ShowPortWait(const std::string& line) {
    ScopedThreadLock hold(lock_);
    uint64_t now = MonotonicMs();
    if (format_ == ProgressFormat::kJson) {
        if (portWaitShown_ && now - lastPortWaitMs_ < kPlainPortWaitMs) return;
        ProgressEvent event = Snapshot(now);
        event.stage = kStageWaiting;
        event.image.clear();
        event.done = event.total = event.bytesPerSecond = 0;
        WriteEvent(event);
    } else if (terminal_) {
        if (openLine_ == OpenLine::kProgress) EndOpenLine();  // keep the last figures of the stage
        RewriteLine(out_, line);
        openLine_ = OpenLine::kPortWait;
    } else {
        if (portWaitShown_ && now - lastPortWaitMs_ < kPlainPortWaitMs) return;
        std::fprintf(out_, "%s\n", line.c_str());
    }
    portWaitShown_ = true;
    lastPortWaitMs_ = now;
    std::fflush(out_);
}

void ConsoleDisplay::CloseLine() {
    ScopedThreadLock hold(lock_);
    EndOpenLine();
    std::fflush(out_);
}

void ConsoleDisplay::ShowOutcome(const char* outcome, const std::string& lastLine, const std::string& advice) {
    if (format_ != ProgressFormat::kJson) return;
    ScopedThreadLock hold(lock_);
    if (outcomeShown_) return;  // the first word stands
    outcomeShown_ = true;
    ProgressEvent event = Snapshot(MonotonicMs());
    event.outcome = outcome;
    event.lastLine = lastLine;
    event.advice = advice;
    WriteEvent(event);
}

void ConsoleDisplay::EndOpenLine() {
    if (openLine_ != OpenLine::kNone) std::fputc('\n', out_);
    openLine_ = OpenLine::kNone;
}
