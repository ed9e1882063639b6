// The kill lists and restarts in launch order, with each launch's owner and working folder,
// and the status text of the wizard's clean-up (under Wine only the set of launches shows).
#include <gtest/gtest.h>

#include "prepare/host_programs.h"
#include "prepare/host_steps.h"
#include "prepare/shell_launch.h"
#include "session/process_values.h"
#include "session/window_seam.h"

namespace {

using Launches = std::vector<std::string>;

class RecordingShell final : public ShellLauncher, public QuietWindow {
public:
    void Open(void* owner, const char* program, const char* parameters, const char* folder) override {
        const std::string where = std::string(folder) == "C:\\WINDOWS\\system32\\" ? "" : std::string(" @") + folder;
        launches.push_back((owner == this ? "owned " : "") + std::string(program) + " " + parameters + where);
    }
    void SetControlText(int control, const std::string& text) override { texts.push_back(std::to_string(control) + text); }
    void* OwnerHandle() override { return this; }
    Launches launches;
    Launches texts;
};

const Launches kWindowActiveSync = {"taskkill.exe /IM wcescomm.exe", "taskkill.exe /IM WCESMgr.exe", "tskill.exe wcescomm",
                                    "tskill.exe WCESMgr", "tskill.exe wces*"};
const Launches kWorkerActiveSync = {"tskill.exe wces*", "taskkill.exe /IM wcescomm.exe", "taskkill.exe /IM WCESMgr.exe",
                                    "tskill.exe wcescomm", "tskill.exe WCESMgr"};
const Launches kDeviceCenter = {"taskkill.exe /IM wmplayer.exe", "tskill.exe wmplayer", "taskkill.exe /IM wmdc.exe",
                                "taskkill.exe /IM WmdHost.exe", "tskill.exe wmdc", "tskill.exe WmdHost",
                                "taskkill.exe /IM mobsync.exe", "tskill.exe mobsync"};

Launches Joined(std::initializer_list<Launches> lists, const char* prefix = "") {
    Launches all;
    for (const Launches& list : lists)
        for (const std::string& launch : list) all.push_back(prefix + launch);
    return all;
}

// Three clean-ups of the window, the worker's, the restart: as the run makes them.
Launches RunInEnvironment(int environment, RecordingShell& shell) {
    Environment = environment;
    SetShellLauncher(&shell);
    StepOperations steps;
    AddHostPreparationSteps(steps);
    for (int call = 0; call < 3; ++call) EXPECT_EQ(KillApplications(shell), 1);
    EXPECT_EQ(steps.closeHostPrograms(), 1);
    steps.restartHostPrograms();
    SetShellLauncher(nullptr);
    Environment = 0;
    return shell.launches;
}

}  // namespace

TEST(HostPrograms, WindowsXpEndsActiveSyncFifteenTimesFromTheWindowAndFiveFromTheWorker) {
    RecordingShell shell;
    EXPECT_EQ(RunInEnvironment(0, shell),
              Joined({kWindowActiveSync, kWindowActiveSync, kWindowActiveSync, kWorkerActiveSync,
                      {"wcescomm.exe  @C:\\Program Files\\Microsoft ActiveSync",
                       "WCESMgr.exe  @C:\\Program Files\\Microsoft ActiveSync"}}));
    EXPECT_EQ(shell.texts, Launches(3, "1006\r\nKill Application QPST && ActiveSync"));
}

TEST(HostPrograms, VistaAndSevenEndDeviceCenterOwnedByTheWindowThenActiveSync) {
    RecordingShell shell;
    const Launches window = Joined({Joined({kDeviceCenter}, "owned "), kWindowActiveSync});  // 13 a call
    EXPECT_EQ(RunInEnvironment(1, shell),
              Joined({window, window, window, kDeviceCenter, {"wmdc.exe  @C:\\Windows\\WindowsMobile"}}));
    EXPECT_EQ(shell.texts, Launches(3, "1006\r\nKill Application QPST && ActiveSync"));
}
