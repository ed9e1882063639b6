// The Windows-version gate: XP (5.1) runs the ActiveSync road, Vista (6.0) and 7 (6.1) the
// WMDC road; every other version is refused.
#pragma once

// Sets Environment and the Windows 7 flag from the version; false for a refused version.
bool ApplyWindowsVersion(unsigned major, unsigned minor);

// Reads the running system's version (GetVersionExA) and applies it.
bool ApplyWindowsVersionGate();
