#include "prepare/host_programs.h"

#include <cstddef>

#include "prepare/shell_launch.h"
#include "session/process_values.h"
#include "session/window_seam.h"

namespace {

struct ShellCommand {
    const char* program;
    const char* parameters;
};

// The kill tools run from the system folder; installations elsewhere are not looked up.
constexpr char kSystemFolder[] = "C:\\WINDOWS\\system32\\";
constexpr char kKillStatusText[] = "\r\nKill Application QPST && ActiveSync";

// Windows Vista and 7: Windows Media Player and Windows Mobile Device Center.
constexpr ShellCommand kDeviceCenterList[] = {
    {"taskkill.exe", "/IM wmplayer.exe"}, {"tskill.exe", "wmplayer"},
    {"taskkill.exe", "/IM wmdc.exe"},     {"taskkill.exe", "/IM WmdHost.exe"},
    {"tskill.exe", "wmdc"},               {"tskill.exe", "WmdHost"},
    {"taskkill.exe", "/IM mobsync.exe"},  {"tskill.exe", "mobsync"},
};

// ActiveSync, as the wizard window ends it (every environment).
constexpr ShellCommand kWindowActiveSyncList[] = {
    {"taskkill.exe", "/IM wcescomm.exe"}, {"taskkill.exe", "/IM WCESMgr.exe"}, {"tskill.exe", "wcescomm"},
    {"tskill.exe", "WCESMgr"},            {"tskill.exe", "wces*"},
};

// ActiveSync, as the worker ends it (Windows XP).
constexpr ShellCommand kWorkerActiveSyncList[] = {
    {"tskill.exe", "wces*"}, {"taskkill.exe", "/IM wcescomm.exe"}, {"taskkill.exe", "/IM WCESMgr.exe"},
    {"tskill.exe", "wcescomm"}, {"tskill.exe", "WCESMgr"},
};

struct RestartCommand {
    const char* program;
    const char* folder;
};

constexpr RestartCommand kDeviceCenterRestart[] = {{"wmdc.exe", "C:\\Windows\\WindowsMobile"}};
constexpr RestartCommand kActiveSyncRestart[] = {
    {"wcescomm.exe", "C:\\Program Files\\Microsoft ActiveSync"},
    {"WCESMgr.exe", "C:\\Program Files\\Microsoft ActiveSync"},
};

template <std::size_t Count>
void RunKillList(const ShellCommand (&list)[Count], void* owner) {
    ShellLauncher& launcher = CurrentShellLauncher();
    for (const ShellCommand& command : list) launcher.Open(owner, command.program, command.parameters, kSystemFolder);
}

template <std::size_t Count>
void RunRestarts(const RestartCommand (&list)[Count]) {
    ShellLauncher& launcher = CurrentShellLauncher();
    for (const RestartCommand& command : list) launcher.Open(nullptr, command.program, "", command.folder);
}

bool OnDeviceCenter() { return Environment.load() == 1; }

}  // namespace

int KillApplications(WindowSeam& window) {
    window.SetControlText(kControlStatusText, kKillStatusText);
    if (OnDeviceCenter()) RunKillList(kDeviceCenterList, window.OwnerHandle());
    RunKillList(kWindowActiveSyncList, nullptr);
    return 1;
}

int CloseHostPrograms() {
    if (OnDeviceCenter()) {
        RunKillList(kDeviceCenterList, nullptr);
    } else if (Environment.load() == 0) {
        RunKillList(kWorkerActiveSyncList, nullptr);
    }
    return 1;
}

void RestartHostPrograms() {
    if (OnDeviceCenter()) {
        RunRestarts(kDeviceCenterRestart);
    } else if (Environment.load() == 0) {
        RunRestarts(kActiveSyncRestart);
    }
}
