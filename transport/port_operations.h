// The port as a small function table. The real tables (POSIX tty here; Win32 serial and
// WinUSB on Windows) and the test ones fill it in; the process-wide calls of port_io.h go
// through the table installed, and nothing else touches a port.
#pragma once

#include <cstdint>

struct PortOperations {
    void* context = nullptr;  // handed to every entry

    // Opens the device; 0 on success, otherwise the platform's error code.
    int (*open)(void* context, const char* path) = nullptr;
    // Closes the device; nothing happens when it is not open.
    void (*close)(void* context) = nullptr;
    // Writes one piece (at most kWritePieceSize bytes), waiting up to waitMs for it.
    // 0 when the whole piece went out; -1 when the port is not open or the wait expired
    // (*written = 0); otherwise the error code, *written holding what did go out.
    int (*write)(void* context, const uint8_t* data, uint32_t length, uint32_t* written, uint32_t waitMs) = nullptr;
    // One read of at most *length bytes, waiting up to waitMs for the reply to begin.
    // 0 with *length = bytes received; -1 when the port is not open or the wait expired;
    // otherwise the error code. *length is 0 after any failure; a failed read recovers
    // the port itself before it returns.
    int (*read)(void* context, uint8_t* buffer, uint32_t* length, uint32_t waitMs) = nullptr;
    // Drops whatever is queued either way; 0 or the error code (-1 when not open).
    int (*recover)(void* context) = nullptr;
    // Bulk pipe transfer time-outs, where the port has pipes.
    void (*setPipeTimeouts)(void* context, uint32_t inMs, uint32_t outMs) = nullptr;
    // True once the port can never carry a transfer again (a transfer it had to abandon to a
    // wedged driver): every later call fails at once. Null: the port never says so.
    bool (*goneForGood)(void* context) = nullptr;
};

// The platform's own port: the tty port on POSIX systems.
const PortOperations& PlatformPort();

// Installs a table for the whole process (nullptr restores the platform's). The table must
// outlive its use. Install before a run starts; calls are not locked.
void InstallPort(const PortOperations* operations);
const PortOperations& CurrentPort();
