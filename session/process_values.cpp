#include "session/process_values.h"

#include <cstdio>

std::atomic<int> Environment{0};
std::atomic<int> accessMode{kAccessLocked};
std::atomic<int> initialMode{0};
std::atomic<int> windows7Flag{0};
char executableFileName[kExecutableFileNameSize] = {};
std::atomic<uint32_t> imageIdentificationWord{0};
std::atomic<WindowSeam*> mainWindow{nullptr};
std::atomic<SessionState*> currentSession{nullptr};
std::atomic<uint32_t> currentImageIndex{0};
std::atomic<uint32_t> progressPercent{0};

void SetExecutableFileName(const char* name) {
    std::snprintf(executableFileName, sizeof executableFileName, "%s", name ? name : "");
}

namespace {
char packageFilePath[kExecutableFileNameSize] = {};  // a plain array, for the same reason
}

void SetPackageFilePath(const char* path) {
    std::snprintf(packageFilePath, sizeof packageFilePath, "%s", path ? path : "");
}

const char* PackageFilePath() { return packageFilePath[0] ? packageFilePath : executableFileName; }
