#include <windows.h>

#include "ui/windows_version.h"

// The record's size field is 148 on every architecture.
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA");

bool ApplyWindowsVersionGate() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    if (!GetVersionExA(&version)) return false;
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    return ApplyWindowsVersion(version.dwMajorVersion, version.dwMinorVersion);
}
