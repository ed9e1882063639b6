// Switching a handset that still runs Windows Mobile into the chipset's download mode,
// through the desktop's Remote API and the handset agent download.exe: the link, the
// battery, the agent copied and started once for the hardware version, the version checked
// against the package's accepted list, and the agent started again with the mode values.
#pragma once

#include <cstdint>
#include <string>

#include "package/accepted_versions.h"

constexpr char kAgentResourceType[] = "EXE_";
constexpr int kAgentResourceId = 3123;
constexpr char kAgentHandsetFileName[] = "download.exe";
constexpr char kHandsetSwitchCaption[] = "Notice.";

// Reads the process-wide accepted list and image identification word; returns 0 once the
// agent has been started in download mode. On any failure it shows the message ("Notice.",
// owned by the published window) and ends the process with exit status 1. The Remote API
// session is left open.
int SwitchHandsetToDownloadMode();

// Writes the program's resource "EXE_" resourceName ("#3123") to the handset as
// handsetFileName, in one write of its full size. Nothing is checked.
void CopyAgentToHandset(const char* resourceName, const char* handsetFileName);

// The switch without the box and the exit: `message` is the text to show when it failed.
struct HandsetSwitchOutcome {
    bool switched = false;
    std::string message;
};
HandsetSwitchOutcome RunHandsetSwitch(const AcceptedVersionList& accepted, uint32_t identificationWord);
