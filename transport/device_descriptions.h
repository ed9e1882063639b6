// What a device description says about the handset: a Qualcomm diagnostics port, the
// download port ("Microsoft USB Sync") or a handset still running Windows Mobile.
#pragma once

struct SessionState;

// Tries the five description patterns in order. On a match it applies the pattern's flags,
// port name and device text to the session, shows the text in the device label (control
// 1001) and returns true: the device walk stops there. No match changes nothing.
bool ApplyDeviceDescription(SessionState& session, const char* description);

// After a walk: devicePresent becomes 2 once any device flag is set.
void NoteDevicePresence(SessionState& session);
