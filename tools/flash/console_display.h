// The console flasher's window: the run's labels and progress shown on a terminal. On a
// terminal the progress is one line rewritten in place; otherwise (a log, a pipe) it is
// plain lines; for other programs, one JSON object per line. At most ten progress updates a
// second, whatever the monitor sends.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "session/thread_start.h"
#include "session/window_seam.h"
#include "tools/flash/progress_event.h"

struct SessionState;

enum class ProgressFormat { kText, kJson };

class ConsoleDisplay final : public QuietWindow {
public:
    ConsoleDisplay(std::FILE* out, bool terminal, SessionState& session,
                   ProgressFormat format = ProgressFormat::kText, std::string handset = {});

    void SetControlText(int control, const std::string& text) override;
    std::string GetControlText(int control) override;
    bool GetCheck(int control) override;
    void SetCheck(int control, bool checked) override;
    void ShowStepLabel(const LabelRequest& request, const char* text) override;
    void SetProgressPosition(int position) override;
    void RunEnded(int showFinishPage) override;

    // One line of the port search, what it waits for: rewritten in place on a terminal;
    // otherwise a plain line, at most one a second (a search lasts thirty).
    void ShowPortWait(const std::string& line);
    // Ends a line left open on a terminal, so that what comes next starts a line of its own.
    void CloseLine();
    // The run's last event in JSON, once (nothing in text, where the caller says it in words).
    void ShowOutcome(const char* outcome, const std::string& lastLine, const std::string& advice = {});

    // True once the run reached its end with the reset acknowledged.
    bool Finished() const { return finished_.load() != 0; }
    // Bytes the transfers have acknowledged so far, over the whole run.
    uint64_t BytesMoved() const { return bytesBeforeStage_.load() + StageBytes(); }

    // The stage named by a label control.
    static const char* StageName(int labelControl, const char* labelText);

private:
    enum class OpenLine { kNone, kProgress, kPortWait };  // what the terminal's last line shows

    void Render(bool force);
    ProgressEvent Snapshot(uint64_t now) const;  // with the lock held
    void WriteEvent(const ProgressEvent& event);  // with the lock held
    uint64_t StageBytes() const;
    void EndOpenLine();  // with the lock held

    std::FILE* out_;
    bool terminal_;
    ProgressFormat format_;
    std::string handset_;
    SessionState& session_;
    ThreadLock lock_;  // the monitor renders while the worker shows labels
    std::string stage_ = "connecting";
    std::string image_;  // stage_ once it names an image
    uint64_t stageStartMs_ = 0;
    uint64_t runStartMs_ = 0;
    uint64_t lastRenderMs_ = 0;
    std::atomic<uint64_t> bytesBeforeStage_{0};
    std::atomic<int> finished_{0};
    OpenLine openLine_ = OpenLine::kNone;
    bool portWaitShown_ = false;
    uint64_t lastPortWaitMs_ = 0;
    std::string status_;
    bool erased_ = false;
    bool outcomeShown_ = false;
};

// "12.3 MB", "980 kB", "512 B".
std::string HumanBytes(uint64_t bytes);
// "1:05" (minutes:seconds) or "1:02:03".
std::string HumanDuration(uint64_t seconds);
