// The console flasher's window: the run's labels and progress shown on a terminal. On a
// terminal the progress is one line rewritten in place; otherwise (a log, a pipe) it is
// plain lines. At most ten progress updates a second, whatever the monitor sends.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "session/thread_start.h"
#include "session/window_seam.h"

struct SessionState;

class ConsoleDisplay final : public QuietWindow {
public:
    ConsoleDisplay(std::FILE* out, bool terminal, SessionState& session);

    void SetControlText(int control, const std::string& text) override;
    std::string GetControlText(int control) override;
    bool GetCheck(int control) override;
    void SetCheck(int control, bool checked) override;
    void ShowStepLabel(const LabelRequest& request, const char* text) override;
    void SetProgressPosition(int position) override;
    void RunEnded(int showFinishPage) override;

    // True once the run reached its end with the reset acknowledged.
    bool Finished() const { return finished_.load() != 0; }
    // Bytes the transfers have acknowledged so far, over the whole run.
    uint64_t BytesMoved() const { return bytesBeforeStage_.load() + StageBytes(); }

    // The stage named by a label control, and the bytes per packet of its transfer.
    static const char* StageName(int labelControl, const char* labelText);

private:
    void Render(bool force);
    uint64_t StageBytes() const;

    std::FILE* out_;
    bool terminal_;
    SessionState& session_;
    ThreadLock lock_;  // the monitor renders while the worker shows labels
    std::string stage_ = "connecting";
    uint32_t packetSize_ = 4096;
    uint64_t stageStartMs_ = 0;
    uint64_t runStartMs_ = 0;
    uint64_t lastRenderMs_ = 0;
    std::atomic<uint64_t> bytesBeforeStage_{0};
    std::atomic<int> finished_{0};
    bool lineOpen_ = false;
    std::string status_;
    bool erased_ = false;
};

// "12.3 MB", "980 kB", "512 B".
std::string HumanBytes(uint64_t bytes);
// "1:05" (minutes:seconds) or "1:02:03".
std::string HumanDuration(uint64_t seconds);
