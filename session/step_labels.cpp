// The step list of the download page: which label control, where, and what text.
#include <cstdio>

#include "session/process_values.h"
#include "session/session_driver.h"
#include "session/session_state.h"
#include "session/session_window.h"
#include "session/window_seam.h"

namespace {

struct LabelKind {
    int control;
    const char* serviceText;  // service mode
    const char* normalText;   // normal operation
    const char* statusText;   // put into the status text first (kinds 2..7), else nullptr
    int width;
};

constexpr LabelKind kLabelKinds[] = {
    {3025, "Now Upgrading the Items:", "Now Upgrading the Items:", nullptr, 200},
    {3017, "0. Send Download Agent", "Step 0. Installing Agent", nullptr, 350},
    {3018, nullptr, "Step 1. Sending Support Info.", "\r\nSend Partition Table", 350},
    {3019, "%d. Send QC secendary boot loader Image ", "Step %d. Upgrading 1st Image.",
     "\r\nSend QC secendary boot loader Image ", 350},
    {3020, "%d. Send OEM secendary boot loader Image", "Step %d. Upgrading 2nd Image.",
     "\r\nSend OEM secendary boot loader Image", 350},
    {3022, "%d. Send AMSS Image", "Step %d. Upgrading 3rd Image.", "\r\nSend AMSS Image", 350},
    {3021, "%d. Send Application boot loader Image", "Step %d. Upgrading 4th Image.",
     "\r\nSend Application boot loader Image", 350},
    {3023, "%d. Send Flash.bin", "Step %d. Upgrading 5th Image.", "\r\nOpen Flash.bin", 350},
    {3023, "%d. Send CEFS", "Step %d. Upgrading 6th Image.", nullptr, 350},
};

constexpr int kLabelLeft = 248;
constexpr int kLabelHeight = 30;

// In service mode the partition label names what the "CEFS" and "FOTA" boxes add.
const char* PartitionLabel(WindowSeam& window) {
    bool cefs = window.GetCheck(kControlCefs);
    bool fota = window.GetCheck(kControlFota);
    if (fota) return cefs ? "1. Send Partition Table & FOTA & CEFS" : "1. Send Partition Table & FOTA";
    return "1. Send Partition Table";
}

int LabelTop(int kind, int stepNumber) {
    switch (kind) {
    case 0: return 50;
    case 1: return 80;
    case 2: return 110;
    case 3: return 30 * stepNumber + 48;
    default: return 30 * stepNumber + 50;
    }
}

std::string FormatLabel(const char* pattern, int stepNumber) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, stepNumber - 1);
    return text;
}

}  // namespace

std::string StepLabelText(int kind, int stepNumber) {
    if (kind < 0 || kind > 8) return {};
    const LabelKind& label = kLabelKinds[kind];
    if (!InServiceMode()) return FormatLabel(label.normalText, stepNumber);
    if (kind == 2) return PartitionLabel(RunWindow());
    return FormatLabel(label.serviceText, stepNumber);
}

void ShowStepLabel(int kind, int stepNumber) {
    if (kind < 0 || kind > 8) return;
    const LabelKind& label = kLabelKinds[kind];
    WindowSeam& window = RunWindow();
    if (label.statusText) window.SetControlText(kControlStatusText, label.statusText);
    std::string text = StepLabelText(kind, stepNumber);
    LabelRequest request{label.control, kLabelLeft, LabelTop(kind, stepNumber), kLabelHeight, label.width};
    window.ShowStepLabel(request, text.c_str());
    // A stage begins here: its byte figures start from nothing, not from the stage before's
    // (which the window has just shown as that stage's last). The chunk loop sets the total.
    if (SessionState* session = currentSession.load()) {
        session->doneBytes = 0;
        session->totalBytes = 0;
    }
}
