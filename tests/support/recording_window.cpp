#include "tests/support/recording_window.h"

#include "session/thread_start.h"

void RecordingWindow::Record(const std::string& event) {
    ScopedThreadLock hold(lock_);
    events_.push_back(event);
}

void RecordingWindow::SetControlText(int control, const std::string& text) {
    ScopedThreadLock hold(lock_);
    texts_[control] = text;
    events_.push_back("text " + std::to_string(control) + " " + text);
}

std::string RecordingWindow::GetControlText(int control) {
    ScopedThreadLock hold(lock_);
    return texts_[control];
}

bool RecordingWindow::GetCheck(int control) {
    ScopedThreadLock hold(lock_);
    return checks_[control];
}

void RecordingWindow::SetCheck(int control, bool checked) {
    ScopedThreadLock hold(lock_);
    checks_[control] = checked;
    events_.push_back("check " + std::to_string(control) + " " + (checked ? "1" : "0"));
}

void RecordingWindow::ShowStepLabel(const LabelRequest& request, const char* text) {
    ScopedThreadLock hold(lock_);
    labels_.push_back(request);
    labelTexts_.push_back(text);
    events_.push_back("label " + std::to_string(request.labelControl) + " " + text);
}

void RecordingWindow::LayoutDownloadPage() { Record("download page"); }

void RecordingWindow::SetRunState(int state) {
    ScopedThreadLock hold(lock_);
    runState_ = state;
    events_.push_back("run state " + std::to_string(state));
}

void RecordingWindow::SetProgressRange(int low, int high) {
    Record("progress range " + std::to_string(low) + ".." + std::to_string(high));
}

void RecordingWindow::SetProgressPosition(int position) {
    ScopedThreadLock hold(lock_);
    positions_.push_back(position);
}

void RecordingWindow::RunEnded(int showFinishPage) { Record("run end " + std::to_string(showFinishPage)); }

void RecordingWindow::ShowCheckingLine(int kind, int failed) {
    Record("checking line " + std::to_string(kind) + " " + std::to_string(failed));
}

void RecordingWindow::DrawTimerText(const std::string& text) { Record("timer " + text); }

std::vector<std::string> RecordingWindow::Events() {
    ScopedThreadLock hold(lock_);
    return events_;
}

std::vector<LabelRequest> RecordingWindow::Labels() {
    ScopedThreadLock hold(lock_);
    return labels_;
}

std::vector<std::string> RecordingWindow::LabelTexts() {
    ScopedThreadLock hold(lock_);
    return labelTexts_;
}

std::vector<int> RecordingWindow::ProgressPositions() {
    ScopedThreadLock hold(lock_);
    return positions_;
}

int RecordingWindow::RunState() {
    ScopedThreadLock hold(lock_);
    return runState_;
}
