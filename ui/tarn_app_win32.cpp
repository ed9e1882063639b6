// CTarnApp: Veltrane.exe's start-up. The program file's name, Windows Sockets, the
// registry key's name, the access password, the Windows version, then the wizard window.
// `Veltrane.exe --version` only tells the version.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/own_program_path_win32.h"
#include "platform/system_library_win32.h"
#include "prepare/handset_switch.h"
#include "prepare/host_programs.h"
#include "prepare/host_steps.h"
#include "protocol/run_steps.h"
#include "session/control_ids.h"
#include "session/message_box.h"
#include "session/process_values.h"
#include "session/step_operations.h"
#include "session/system_error_text.h"
#include "transport/port_discovery.h"
#include "ui/password_dialog_win32.h"
#include "ui/tarn_dialog_win32.h"
#include "ui/windows_version.h"
#include "veltrane_version.h"

namespace {

// The application's registry key is named so; nothing is stored under it.
[[maybe_unused]] constexpr const char* kRegistryKeyName = "3112";

// The process's exit status: 0 for a wizard closed before Next or a run that reached the
// finish page; 1 for a refusal, a failure, or a run the operator interrupted.
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;

class CTarnApp {
public:
    // The exit status; the application ends when start-up returns.
    int InitInstance();

private:
    static void PublishExecutableFileName();
    static bool StartSockets();
    static bool RegisterCommonControls();
    static void ShowWindowFailure(DWORD error);
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

    // The file is opened by its full path: started with another working folder, or from a
    // folder the ANSI code page cannot name (where the path above has '?' in it), it is found.
    const std::string fullPath = OwnProgramPath();
    if (!fullPath.empty() && fullPath.size() < kExecutableFileNameSize) SetPackageFilePath(fullPath.c_str());
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

// The wizard holds a progress bar: its window class must be registered before the dialog is
// created, or the dialog cannot be created at all where nothing else loaded the controls.
bool CTarnApp::RegisterCommonControls() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    return InitCommonControlsEx(&controls) != FALSE;
}

void CTarnApp::ShowWindowFailure(DWORD error) {
    const std::string text = "Can't create the Veltrane window: " + SystemErrorText(static_cast<int>(error));
    ShowMessageBox(text.c_str(), "Error", nullptr);
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

int CTarnApp::InitInstance() {
    PublishExecutableFileName();
    if (!StartSockets()) return kExitFailed;
    if (!RegisterCommonControls()) {
        ShowWindowFailure(GetLastError());
        return kExitFailed;
    }

    CTarnDlg wizard(NextActions());
    Password password;
    password.RunModal();
    if (accessMode != kAccessNormal && accessMode != kAccessService) {
        ShowMessageBox("not correct password", "warning", nullptr);
        return kExitFailed;
    }
    if (!ApplyWindowsVersionGate()) {
        ShowMessageBox("Not VISTA,win 7", "Warning", nullptr);
        return kExitFailed;
    }
    InstallStepOperations(RunSteps());
    if (wizard.RunModal() == -1) {
        ShowWindowFailure(GetLastError());
        return kExitFailed;
    }
    return wizard.RunLeftUnfinished() ? kExitFailed : kExitDone;
}

bool WriteLine(HANDLE file, const char* line) {
    if (file == nullptr || file == INVALID_HANDLE_VALUE) return false;
    const std::string text = std::string(line) + "\r\n";
    DWORD written = 0;
    return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
}

// Every other argument is ignored, as it always was; only a first argument --version counts.
bool AsksForVersion() { return __argc >= 2 && std::strcmp(__argv[1], "--version") == 0; }

// A window program has no console of its own: the version goes to its standard output when
// that was handed over (a file or a pipe), else to the console of the program that started
// it (a command prompt), else into a box.
void ShowVersion() {
    const char* const line = "Veltrane " VELTRANE_VERSION;
    if (WriteLine(GetStdHandle(STD_OUTPUT_HANDLE), line)) return;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        HANDLE console = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
        const bool written = WriteLine(console, line);
        if (console != INVALID_HANDLE_VALUE) CloseHandle(console);
        FreeConsole();
        if (written) return;
    }
    ShowMessageBox(line, nullptr, nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    StartWithSafeDllSearch();
    if (AsksForVersion()) {
        ShowVersion();
        ExitProcess(kExitDone);
    }
    static CTarnApp application;  // lives as long as the process: the run's threads may outlive the window
    const int status = application.InitInstance();
    // Ended at once, without the runtime's clean-up: a run's threads may still be working
    // (the window closed in the middle of a run), and nothing of theirs may be torn down
    // under them. Everything they wrote is already with the system.
    ExitProcess(static_cast<UINT>(status));
}
