// The Windows platform port follows the Windows version the program runs on: serial mode
// for Windows XP (Environment 0), WinUSB mode for Vista and 7 (Environment 1). Any other
// value opens nothing.
#include "session/process_values.h"
#include "transport/port_operations.h"
#include "transport/windows_ports.h"

namespace {
int RefuseOpen(void*, const char*) { return -1; }
int RefuseRecover(void*) { return -1; }

const PortOperations kNoPort = [] {
    PortOperations operations;
    operations.open = RefuseOpen;
    operations.recover = RefuseRecover;
    return operations;
}();
}  // namespace

const PortOperations& PlatformPort() {
    switch (Environment.load()) {
    case 0: return SerialPort();
    case 1: return WinUsbPort();
    default: return kNoPort;
    }
}
