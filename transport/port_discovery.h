// Finding the handset among the desktop's devices (Windows): what the device scan sees,
// the WinUSB interface path of the download device, and the download port search.
#pragma once

#include <string>

#include "session/step_operations.h"
#include "transport/port_search.h"

struct SessionState;

// Walks every present device; the first whose description matches a known pattern sets the
// session's device flags, port name, device text and the device label. Flags persist.
void ScanDevices(SessionState& session);

// Windows Vista and 7: the device interface path of the first present device of the
// download interface class whose interface belongs to it; empty when there is none.
std::string FindInterfacePath();

// Opens the download port: Windows XP tries \\.\wceusbsh001 onward (one trace line per
// attempt), Vista and 7 the interface path. 1 when open, 0 after 301 attempts.
int OpenDownloadPort();

// That search, for a caller that watches its attempts.
PortSearch DownloadPortSearch();

// Fills the step slots openDownloadPort and scanDevices.
void AddDiscoverySteps(StepOperations& steps);
