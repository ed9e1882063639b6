// transport_probe STEP...: the Windows transport's real calls, one step per argument, each
// printing one line, so that a Python test can declare devices between them:
//   reg:FILE  imports FILE (.reg text) with Wine's regedit
//   scan      ScanDevices on one session kept across scans: "q s w present|portName|deviceText|label"
//   path      FindInterfacePath: "path <the path>"
//   read      Vista/7 road: opens the interface path and makes one read of the framing
//             layer's size: "read open <code> status <code> length <bytes> ms <elapsed>"
// Message boxes are real ones (a box watcher answers them).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "protocol/command_exchange.h"
#include "session/process_values.h"
#include "session/session_state.h"
#include "tests/support/recording_window.h"
#include "transport/port_discovery.h"
#include "transport/port_io.h"

namespace {

constexpr int kDeviceLabel = 1001;

bool ImportRegistry(const std::string& file) {
    std::string command = "regedit /S \"" + file + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

void Scan(SessionState& session, RecordingWindow& window) {
    ScanDevices(session);
    std::printf("%u %u %u %u|%s|%s|%s\n", session.qualcommPortSeen.load(), session.syncPortSeen.load(),
                session.wmdcDeviceSeen.load(), session.devicePresent.load(), session.portName,
                session.deviceText.c_str(), window.GetControlText(kDeviceLabel).c_str());
}

void OpenAndRead() {
    Environment = 1;
    const std::string path = FindInterfacePath();
    const int open = OpenPort(path.c_str());
    std::vector<uint8_t> buffer(kRequestedReadLength);
    uint32_t length = kRequestedReadLength;
    int status = -1;
    DWORD elapsed = 0;
    if (open == 0) {
        const DWORD start = GetTickCount();
        status = ReadPort(buffer.data(), &length);
        elapsed = GetTickCount() - start;
        ClosePort();
    }
    std::printf("read open %d status %d length %u ms %lu\n", open, status, length, elapsed);
}

}  // namespace

int main(int argc, char** argv) {
    RecordingWindow window;
    SessionState session;
    session.window = &window;
    for (int i = 1; i < argc; ++i) {
        const std::string step = argv[i];
        if (step.rfind("reg:", 0) == 0) {
            if (!ImportRegistry(step.substr(4))) return 1;
        } else if (step == "scan") {
            Scan(session, window);
        } else if (step == "path") {
            std::printf("path %s\n", FindInterfacePath().c_str());
        } else if (step == "read") {
            OpenAndRead();
        } else {
            std::fprintf(stderr, "transport_probe: unknown step %s\n", step.c_str());
            return 2;
        }
        std::fflush(stdout);
    }
    return 0;
}
