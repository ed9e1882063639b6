// Windows builds reach the handset through the serial (Windows XP) and WinUSB (Vista, 7)
// ports. Until those tables are in place, the platform port opens nothing: every open
// reports ERROR_FILE_NOT_FOUND, so the port search fails as it does without a handset.
#include <windows.h>

#include "transport/port_operations.h"

namespace {
int Open(void*, const char*) { return ERROR_FILE_NOT_FOUND; }

const PortOperations kUnavailablePort = [] {
    PortOperations operations;
    operations.open = Open;
    return operations;
}();
}  // namespace

const PortOperations& PlatformPort() { return kUnavailablePort; }
