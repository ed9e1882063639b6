#include "tools/flash/child_processes.h"

#include <windows.h>

#include "platform/wide_path_win32.h"
#include "session/system_error_text.h"
#include "session/clock.h"
#include "session/thread_start.h"

namespace {

volatile LONG interrupted = 0;  // how many (two at most)
HANDLE wakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);  // output, an exit or an interrupt

constexpr DWORD kEndWaitMs = 5000;

BOOL WINAPI OnConsoleEvent(DWORD) {
    InterlockedCompareExchange(&interrupted, 2, 1);
    InterlockedCompareExchange(&interrupted, 1, 0);
    SetEvent(wakeEvent);
    return TRUE;  // Ctrl-C, Ctrl-Break, the console closed: the children go with the job
}

// One argument as the C runtime's command-line parser reads it back.
std::wstring Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

}  // namespace

void CatchInterrupts() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool InterruptRequested() { return InterlockedCompareExchange(&interrupted, 0, 0) != 0; }

int InterruptCount() { return static_cast<int>(InterlockedCompareExchange(&interrupted, 0, 0)); }

struct ChildProcesses::Impl {
    struct Child {
        Impl* owner = nullptr;
        HANDLE process = nullptr;
        HANDLE output = nullptr;  // read end of the stdout pipe, read by `reader`
        ThreadHandle reader;
        std::string pending;  // under owner->lock
        bool eof = false;     // under owner->lock
        bool running = true;
        bool reported = false;
        int status = 0;
    };
    std::vector<Child*> children;  // never moved: the readers hold them
    HANDLE job = nullptr;          // every child's; closing it (the parent gone) ends them all
    ThreadLock lock;

    static unsigned ReadOutput(void* argument) {
        Child& child = *static_cast<Child*>(argument);
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(child.output, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            ScopedThreadLock hold(child.owner->lock);
            child.pending.append(buffer, got);
            SetEvent(wakeEvent);
        }
        ScopedThreadLock hold(child.owner->lock);
        child.eof = true;
        SetEvent(wakeEvent);
        return 0;
    }

    void Reap(Child& child, DWORD waitMs) {
        if (!child.running || WaitForSingleObject(child.process, waitMs) != WAIT_OBJECT_0) return;
        DWORD code = 1;
        GetExitCodeProcess(child.process, &code);
        child.running = false;
        child.status = static_cast<int>(code);
    }
};

ChildProcesses::ChildProcesses() : impl_(std::make_unique<Impl>()) {
    impl_->job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (impl_->job &&
        !SetInformationJobObject(impl_->job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(impl_->job);
        impl_->job = nullptr;
    }
}

ChildProcesses::~ChildProcesses() {
    EndAll();
    for (Impl::Child* child : impl_->children) {
        JoinThread(child->reader);  // the pipe broke with the child
        CloseHandle(child->output);
        CloseHandle(child->process);
        delete child;
    }
    if (impl_->job) CloseHandle(impl_->job);
}

bool ChildProcesses::Start(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& folder, const std::string& errorFile, std::string& error) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0)) {
        error = "can't make a pipe: " + SystemErrorText(static_cast<int>(GetLastError()));
        return false;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    // Every path and argument is UTF-8 (the command line was read wide): wide at each call. The
    // first call that fails names the error, read before any other call can change it.
    DWORD failure = 0;
    HANDLE errors = CreateFileW(WidePath(errorFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (errors == INVALID_HANDLE_VALUE) failure = GetLastError();
    HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0,
                               nullptr);
    if (input == INVALID_HANDLE_VALUE && !failure) failure = GetLastError();
    std::wstring commandLine = Quoted(WidePath(program));
    for (const std::string& argument : arguments) commandLine += L" " + Quoted(WidePath(argument));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = writeEnd;
    startup.hStdError = errors;
    PROCESS_INFORMATION started{};
    // Suspended until it is in the job; a process group of its own, so that Ctrl-C reaches
    // only this parent, which then ends the children together.
    const BOOL ok = !failure && CreateProcessW(WidePath(program).c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                               CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP, nullptr,
                                               WidePath(folder).c_str(), &startup, &started);
    if (!ok && !failure) failure = GetLastError();
    CloseHandle(writeEnd);
    if (errors != INVALID_HANDLE_VALUE) CloseHandle(errors);
    if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
    if (!ok) {
        CloseHandle(readEnd);
        error = errors == INVALID_HANDLE_VALUE ? "can't write " + errorFile + ": " + SystemErrorText(static_cast<int>(failure))
                                               : "can't start " + program + ": " + SystemErrorText(static_cast<int>(failure));
        return false;
    }
    // A parent already in a job that forbids nesting (Windows before 8) keeps its children
    // without one: they are still ended on Ctrl-C, though not when the parent is killed.
    if (impl_->job) AssignProcessToJobObject(impl_->job, started.hProcess);
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);

    auto* child = new Impl::Child;
    child->owner = impl_.get();
    child->process = started.hProcess;
    child->output = readEnd;
    child->reader = StartThread(&Impl::ReadOutput, child, 64 * 1024);
    impl_->children.push_back(child);
    return true;
}

void ChildProcesses::Wait(int timeoutMs, const LineHandler& onLine, const ExitHandler& onExit) {
    // Also after an interrupt: a child that lingers must not spin the parent.
    WaitForSingleObject(wakeEvent, static_cast<DWORD>(timeoutMs));
    for (size_t i = 0; i < impl_->children.size(); ++i) {
        Impl::Child& child = *impl_->children[i];
        std::string taken;
        bool drained = false;
        {
            ScopedThreadLock hold(impl_->lock);
            size_t end = child.pending.rfind('\n');
            drained = child.eof;
            if (drained) end = child.pending.size();
            else if (end == std::string::npos) continue;
            else ++end;
            taken = child.pending.substr(0, end);
            child.pending.erase(0, end);
        }
        size_t start = 0;
        while (start < taken.size()) {
            size_t newline = taken.find('\n', start);
            if (newline == std::string::npos) newline = taken.size();
            std::string line = taken.substr(start, newline - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();  // a text-mode stdout
            onLine(i, line);
            start = newline + 1;
        }
        if (!drained || child.reported) continue;
        impl_->Reap(child, 0);
        if (child.running) continue;
        child.reported = true;
        onExit(i, child.status);
    }
}

size_t ChildProcesses::Count() const { return impl_->children.size(); }

bool ChildProcesses::IsRunning(size_t child) const {
    impl_->Reap(*impl_->children[child], 0);
    return impl_->children[child]->running;
}

size_t ChildProcesses::Running() const {
    size_t running = 0;
    for (Impl::Child* child : impl_->children) {
        impl_->Reap(*child, 0);
        if (child->running) ++running;
    }
    return running;
}

void ChildProcesses::EndAll() {
    // Windows has no polite request a console program hears from another group: end them.
    if (impl_->job) TerminateJobObject(impl_->job, 1);
    for (Impl::Child* child : impl_->children)
        if (child->running) TerminateProcess(child->process, 1);
    // One grace for all: a child with I/O pending in a wedged driver may not end at all.
    const uint64_t deadline = MonotonicMs() + kEndWaitMs;
    while (Running() > 0 && MonotonicMs() < deadline && InterruptCount() < 2) WaitForSingleObject(wakeEvent, 50);
}
