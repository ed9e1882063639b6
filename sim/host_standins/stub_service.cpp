// stub_service: a service program that does nothing but run until it is asked to stop, for
// the service stop's tests against a real Service Control Manager (installed under any name
// with `sc create NAME binPath= ...`).
//
// A stop is answered the way a well-behaved service answers it: STOP_PENDING from the control
// handler, STOPPED from the service's own thread a moment later. Reporting STOPPED from the
// handler itself lets the process end before the dispatcher has written the handler's answer
// back to the manager, and ControlService then fails now and then with 109 (broken pipe).
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopped = nullptr;

// Long enough for the dispatcher to answer the stop control after the handler returns.
constexpr DWORD kStopDelayMs = 100;
// What a stopping service asks its callers to wait before they ask again.
constexpr DWORD kStopWaitHintMs = 1000;

void Report(DWORD state, DWORD waitHintMs = 0) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status.dwCheckPoint = state == SERVICE_STOP_PENDING ? 1 : 0;
    status.dwWaitHint = waitHintMs;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*) {
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING, kStopWaitHintMs);
        SetEvent(stopped);
    }
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, char** arguments) {
    statusHandle = RegisterServiceCtrlHandlerExA(arguments[0], Control, nullptr);
    if (!statusHandle) return;
    Report(SERVICE_RUNNING);
    WaitForSingleObject(stopped, INFINITE);
    Sleep(kStopDelayMs);
    Report(SERVICE_STOPPED);  // the last thing: the process may end at once
}

}  // namespace

int main() {
    stopped = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    char name[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
