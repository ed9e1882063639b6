// stub_service: a service program that does nothing but run until it is asked to stop, for
// the service stop's tests against a real Service Control Manager (installed under any name
// with `sc create NAME binPath= ...`).
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopped = nullptr;

void Report(DWORD state) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*) {
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOPPED);
        SetEvent(stopped);
    }
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, char** arguments) {
    statusHandle = RegisterServiceCtrlHandlerExA(arguments[0], Control, nullptr);
    if (!statusHandle) return;
    Report(SERVICE_RUNNING);
    WaitForSingleObject(stopped, INFINITE);
}

}  // namespace

int main() {
    stopped = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    char name[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
