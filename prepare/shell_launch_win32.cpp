#include "prepare/shell_launch.h"

#include <windows.h>
#include <shellapi.h>

namespace {
class ShellExecuteLauncher final : public ShellLauncher {
public:
    void Open(void* owner, const char* program, const char* parameters, const char* folder) override {
        ShellExecuteA(static_cast<HWND>(owner), "open", program, parameters, folder, SW_HIDE);
    }
};
}  // namespace

ShellLauncher& PlatformShellLauncher() {
    static auto* launcher = new ShellExecuteLauncher;  // never destroyed: the worker may use it at exit
    return *launcher;
}
