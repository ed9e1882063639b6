// CTarnApp: Veltrane.exe's start-up. The program file's name, Windows Sockets, the
// registry key's name, the access password, the Windows version, then the wizard window.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "prepare/handset_switch.h"
#include "prepare/host_programs.h"
#include "prepare/host_steps.h"
#include "protocol/run_steps.h"
#include "session/control_ids.h"
#include "session/message_box.h"
#include "session/process_values.h"
#include "session/step_operations.h"
#include "transport/port_discovery.h"
#include "ui/password_dialog_win32.h"
#include "ui/tarn_dialog_win32.h"
#include "ui/windows_version.h"

namespace {

// The application's registry key is named so; nothing is stored under it.
[[maybe_unused]] constexpr const char* kRegistryKeyName = "3112";

class CTarnApp {
public:
    // Always false: the application ends when start-up returns.
    bool InitInstance();

private:
    static void PublishExecutableFileName();
    static bool StartSockets();
    static StepOperations RunSteps();
    static WizardActions NextActions();
};

// "%s.exe" of the module's base name: the program file that carries the firmware package.
void CTarnApp::PublishExecutableFileName() {
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

// No socket is ever used; the start-up is kept so a broken network stack shows before a run.
bool CTarnApp::StartSockets() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) == 0) return true;
    wchar_t text[256] = {};
    LoadStringW(GetModuleHandleA(nullptr), IDS_SOCKETS_FAILED, text, 256);
    MessageBoxW(nullptr, text, L"Veltrane", MB_OK);
    return false;
}

StepOperations CTarnApp::RunSteps() {
    StepOperations steps = ProtocolStepOperations();
    AddDiscoverySteps(steps);
    AddHostPreparationSteps(steps);
    return steps;
}

WizardActions CTarnApp::NextActions() {
    WizardActions actions;
    actions.scanDevices = ScanDevices;
    actions.switchHandsetToDownloadMode = [] { SwitchHandsetToDownloadMode(); };
    actions.killApplications = [](WindowSeam& window) { KillApplications(window); };
    return actions;
}

bool CTarnApp::InitInstance() {
    PublishExecutableFileName();
    if (!StartSockets()) return false;

    CTarnDlg wizard(NextActions());
    Password password;
    password.RunModal();
    if (accessMode != kAccessNormal && accessMode != kAccessService) {
        ShowMessageBox("not correct password", "warning", nullptr);
        return false;
    }
    if (!ApplyWindowsVersionGate()) {
        ShowMessageBox("Not VISTA,win 7", "Warning", nullptr);
        return false;
    }
    InstallStepOperations(RunSteps());
    wizard.RunModal();
    return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    static CTarnApp application;  // lives as long as the process: the run's threads may outlive the window
    application.InitInstance();
    return 0;
}
