// The Windows download ports: serial mode on Windows XP (the handset is a serial-style
// device such as \\.\wceusbsh001) and WinUSB mode on Vista and 7 (bulk pipes of the
// device interface path). PlatformPort() picks one by Environment.
#pragma once

#include "transport/port_operations.h"

const PortOperations& SerialPort();
const PortOperations& WinUsbPort();
