#include "prepare/shell_launch.h"

namespace {
ShellLauncher* installed = nullptr;
}

ShellLauncher& CurrentShellLauncher() { return installed ? *installed : PlatformShellLauncher(); }

void SetShellLauncher(ShellLauncher* launcher) { installed = launcher; }
