// prepare_probe STEP...: the host and handset preparation's real Windows layers, one step per
// argument, for the Python tests under Wine:
//   env:N               Environment = N (0 Windows XP, 1 Vista and 7)
//   kill | close | restart   KillApplications (owner: a hidden window), CloseHostPrograms,
//                       RestartHostPrograms
//   services:first|again     ClearHostServices with the Service Control Manager, its line
//                       in trace.txt of the current folder
//   switch:F:ID         SwitchHandsetToDownloadMode with family code F ('-': none, the list
//                       stays empty) and image identification word ID: "switched N", or the
//                       box and exit status 1
//   scan                ScanDevices on a fresh session: "scan sync S mobile M"
// Message boxes are real ones, owned by the hidden window.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "prepare/handset_switch.h"
#include "prepare/host_programs.h"
#include "prepare/host_services.h"
#include "session/process_values.h"
#include "session/session_state.h"
#include "session/trace_log.h"
#include "session/window_seam.h"
#include "transport/port_discovery.h"

namespace {

class HiddenWindow final : public QuietWindow {
public:
    HiddenWindow() : handle_(CreateWindowA("STATIC", "prepare_probe", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr)) {}
    void* OwnerHandle() override { return handle_; }

private:
    HWND handle_;
};

bool Step(const std::string& step, HiddenWindow& window) {
    if (step.rfind("env:", 0) == 0) {
        Environment = std::atoi(step.c_str() + 4);
    } else if (step == "kill") {
        KillApplications(window);
    } else if (step == "close") {
        CloseHostPrograms();
    } else if (step == "restart") {
        RestartHostPrograms();
    } else if (step == "services:first" || step == "services:again") {
        WriteTrace(0);
        ClearHostServices(step == "services:first" ? ServiceOrder::First : ServiceOrder::Again);
        WriteTrace(2);
    } else if (step.rfind("switch:", 0) == 0 && step.size() > 9) {
        acceptedVersions = {};
        if (step[7] != '-') FillAcceptedVersions(static_cast<uint8_t>(step[7]));
        imageIdentificationWord = static_cast<uint32_t>(std::strtoul(step.c_str() + 9, nullptr, 0));
        std::printf("switched %d\n", SwitchHandsetToDownloadMode());
    } else if (step == "scan") {
        SessionState session;
        ScanDevices(session);
        std::printf("scan sync %u mobile %u\n", session.syncPortSeen.load(), session.wmdcDeviceSeen.load());
    } else {
        return false;
    }
    std::fflush(stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    HiddenWindow window;
    mainWindow = &window;
    for (int index = 1; index < argc; ++index) {
        if (!Step(argv[index], window)) {
            std::fprintf(stderr, "unknown step %s\n", argv[index]);
            return 2;
        }
    }
    return 0;
}
