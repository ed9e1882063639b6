// Veltrane.exe's entry. The start-up values every part reads are published here; the
// password dialog and the wizard window join with the user interface.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "session/message_box.h"
#include "session/process_values.h"
#include "ui/windows_version.h"

namespace {
// "%s.exe" of the module's base name: the program file that carries the firmware package.
void PublishExecutableFileName() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    const char* base = std::strrchr(path, '\\');
    base = base ? base + 1 : path;
    char name[MAX_PATH] = {};
    std::snprintf(name, sizeof name, "%s", base);
    if (char* dot = std::strrchr(name, '.')) *dot = '\0';
    char file[kExecutableFileNameSize];
    std::snprintf(file, sizeof file, "%s.exe", name);
    SetExecutableFileName(file);
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    PublishExecutableFileName();
    if (!ApplyWindowsVersionGate()) {
        ShowMessageBox("Not VISTA,win 7", "Warning", nullptr);
        return 0;
    }
    ShowMessageBox("This build of Veltrane carries the flashing run, the programmer and the handset agent;\n"
                   "its wizard window is not part of this build yet.",
                   "Veltrane", nullptr);
    return 0;
}
