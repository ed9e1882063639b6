#include "tests/support/recording_window.h"

#include "session/thread_start.h"

void RecordingWindow::Lock() {
    while (busy_.test_and_set(std::memory_order_acquire)) YieldThread();
}
void RecordingWindow::Unlock() { busy_.clear(std::memory_order_release); }

void RecordingWindow::Record(const std::string& event) {
    Lock();
    events_.push_back(event);
    Unlock();
}

void RecordingWindow::SetControlText(int control, const std::string& text) {
    Lock();
    texts_[control] = text;
    events_.push_back("text " + std::to_string(control) + " " + text);
    Unlock();
}

std::string RecordingWindow::GetControlText(int control) {
    Lock();
    std::string text = texts_[control];
    Unlock();
    return text;
}

bool RecordingWindow::GetCheck(int control) {
    Lock();
    bool checked = checks_[control];
    Unlock();
    return checked;
}

void RecordingWindow::SetCheck(int control, bool checked) {
    Lock();
    checks_[control] = checked;
    events_.push_back("check " + std::to_string(control) + " " + (checked ? "1" : "0"));
    Unlock();
}

void RecordingWindow::ShowStepLabel(const LabelRequest& request, const char* text) {
    Lock();
    labels_.push_back(request);
    labelTexts_.push_back(text);
    events_.push_back("label " + std::to_string(request.labelControl) + " " + text);
    Unlock();
}

void RecordingWindow::LayoutDownloadPage() { Record("download page"); }

void RecordingWindow::SetRunState(int state) {
    Lock();
    runState_ = state;
    events_.push_back("run state " + std::to_string(state));
    Unlock();
}

void RecordingWindow::SetProgressRange(int low, int high) {
    Record("progress range " + std::to_string(low) + ".." + std::to_string(high));
}

void RecordingWindow::SetProgressPosition(int position) {
    Lock();
    positions_.push_back(position);
    Unlock();
}

void RecordingWindow::RunEnded(int showFinishPage) { Record("run end " + std::to_string(showFinishPage)); }

void RecordingWindow::ShowCheckingLine(int kind, int failed) {
    Record("checking line " + std::to_string(kind) + " " + std::to_string(failed));
}

void RecordingWindow::DrawTimerText(const std::string& text) { Record("timer " + text); }

std::vector<std::string> RecordingWindow::Events() {
    Lock();
    auto copy = events_;
    Unlock();
    return copy;
}

std::vector<LabelRequest> RecordingWindow::Labels() {
    Lock();
    auto copy = labels_;
    Unlock();
    return copy;
}

std::vector<std::string> RecordingWindow::LabelTexts() {
    Lock();
    auto copy = labelTexts_;
    Unlock();
    return copy;
}

std::vector<int> RecordingWindow::ProgressPositions() {
    Lock();
    auto copy = positions_;
    Unlock();
    return copy;
}

int RecordingWindow::RunState() {
    Lock();
    int state = runState_;
    Unlock();
    return state;
}
