#include "ui/windows_version.h"

#include "session/process_values.h"

bool ApplyWindowsVersion(unsigned major, unsigned minor) {
    if (major == 5 && minor == 1) {
        Environment = 0;
        windows7Flag = 0;
        return true;
    }
    if (major == 6 && (minor == 0 || minor == 1)) {
        Environment = 1;
        windows7Flag = minor == 1 ? 1 : 0;
        return true;
    }
    return false;
}
