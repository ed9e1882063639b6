// A window that records what the run asked of it, in order, as readable lines.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "session/thread_start.h"
#include "session/window_seam.h"

class RecordingWindow final : public WindowSeam {
public:
    void SetControlText(int control, const std::string& text) override;
    std::string GetControlText(int control) override;
    bool GetCheck(int control) override;
    void SetCheck(int control, bool checked) override;
    void ShowStepLabel(const LabelRequest& request, const char* text) override;
    void LayoutDownloadPage() override;
    void SetRunState(int state) override;
    void SetProgressRange(int low, int high) override;
    void SetProgressPosition(int position) override;
    void RunEnded(int showFinishPage) override;
    void ShowCheckingLine(int kind, int failed) override;
    void DrawTimerText(const std::string& text) override;

    // Every call but the progress position, which the monitor sends many times a second.
    std::vector<std::string> Events();
    std::vector<LabelRequest> Labels();
    std::vector<std::string> LabelTexts();
    std::vector<int> ProgressPositions();
    int RunState();

private:
    void Record(const std::string& event);

    ThreadLock lock_;
    std::vector<std::string> events_;
    std::vector<LabelRequest> labels_;
    std::vector<std::string> labelTexts_;
    std::vector<int> positions_;
    std::map<int, std::string> texts_;
    std::map<int, bool> checks_;
    int runState_ = kRunStateNotice;
};
