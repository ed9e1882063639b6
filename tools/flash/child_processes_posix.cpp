#include "tools/flash/child_processes.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <cstring>

#include "session/clock.h"

namespace {

volatile sig_atomic_t interrupted = 0;  // how many

void OnInterrupt(int) {
    if (interrupted < 2) interrupted = interrupted + 1;
}

constexpr int kGraceMs = 3000;
constexpr int kKillWaitMs = 1000;

}  // namespace

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: poll returns at once with EINTR
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // Started ignoring a hangup (nohup) or Ctrl-C (a shell's background job): it stays
        // ignored, as the shell meant, and the handsets go on flashing when the session drops.
        struct sigaction before {};
        if (signal != SIGTERM && sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
}

bool InterruptRequested() { return interrupted != 0; }

int InterruptCount() { return interrupted; }

struct ChildProcesses::Impl {
    struct Child {
        pid_t pid = -1;
        int output = -1;  // read end of the stdout pipe; -1 once drained
        std::string pending;
        bool running = true;
        int status = 0;
        bool reported = false;
    };
    std::vector<Child> children;
    pid_t group = 0;  // the first child's pid: every child joins its group

    void Reap(Child& child, bool block) {
        if (!child.running) return;
        int raw = 0;
        pid_t ended = waitpid(child.pid, &raw, block ? 0 : WNOHANG);
        if (ended != child.pid) return;
        child.running = false;
        child.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    }
};

ChildProcesses::ChildProcesses() : impl_(std::make_unique<Impl>()) {}

ChildProcesses::~ChildProcesses() {
    EndAll();
    for (Impl::Child& child : impl_->children)
        if (child.output >= 0) close(child.output);
}

bool ChildProcesses::Start(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& folder, const std::string& errorFile, std::string& error) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        error = std::string("can't make a pipe: ") + std::strerror(errno);
        return false;
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t group = impl_->group;

    pid_t pid = fork();
    if (pid < 0) {
        error = std::string("can't start a child: ") + std::strerror(errno);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return false;
    }
    if (pid == 0) {
        // The child: only async-signal-safe calls until exec.
        setpgid(0, group);
#ifdef __linux__
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // the parent killed outright takes its children along
        if (getppid() != parent) _exit(127);
#endif
        int input = open("/dev/null", O_RDONLY);
        int errors = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (input < 0 || errors < 0) _exit(127);
        dup2(input, 0);
        dup2(pipeEnds[1], 1);
        dup2(errors, 2);
        if (chdir(folder.c_str()) == 0) execv(program.c_str(), argv.data());
        const char failed[] = "veltrane-flash: can't start the flasher for this handset in its run folder\n";
        (void)!write(2, failed, sizeof failed - 1);
        _exit(127);
    }
    setpgid(pid, group);  // also here: whichever runs first, the group is set before we signal it
    if (impl_->group == 0) impl_->group = pid;
    close(pipeEnds[1]);
    Impl::Child child;
    child.pid = pid;
    child.output = pipeEnds[0];
    impl_->children.push_back(child);
    return true;
}

void ChildProcesses::Wait(int timeoutMs, const LineHandler& onLine, const ExitHandler& onExit) {
    std::vector<pollfd> watched;
    std::vector<size_t> owners;
    for (size_t i = 0; i < impl_->children.size(); ++i) {
        if (impl_->children[i].output < 0) continue;
        watched.push_back(pollfd{impl_->children[i].output, POLLIN, 0});
        owners.push_back(i);
    }
    // After an interrupt the pipes are only drained: the caller is ending the children.
    const int waitMs = interrupted ? 0 : timeoutMs;
    if (watched.empty()) SleepMs(static_cast<uint32_t>(waitMs));
    else poll(watched.data(), watched.size(), waitMs);  // EINTR: an interrupt, handled by the caller
    for (size_t k = 0; k < watched.size(); ++k) {
        if (!(watched[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        Impl::Child& child = impl_->children[owners[k]];
        char buffer[4096];
        ssize_t got = read(child.output, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            close(child.output);
            child.output = -1;
            if (!child.pending.empty()) onLine(owners[k], child.pending);
            child.pending.clear();
            continue;
        }
        child.pending.append(buffer, static_cast<size_t>(got));
        size_t newline;
        while ((newline = child.pending.find('\n')) != std::string::npos) {
            std::string line = child.pending.substr(0, newline);
            child.pending.erase(0, newline + 1);
            onLine(owners[k], line);
        }
    }
    for (size_t i = 0; i < impl_->children.size(); ++i) {
        Impl::Child& child = impl_->children[i];
        if (child.output >= 0 || child.reported) continue;  // its last words may still be in the pipe
        impl_->Reap(child, false);
        if (child.running) continue;
        child.reported = true;
        onExit(i, child.status);
    }
}

size_t ChildProcesses::Count() const { return impl_->children.size(); }

bool ChildProcesses::IsRunning(size_t child) const {
    impl_->Reap(impl_->children[child], false);
    return impl_->children[child].running;
}

size_t ChildProcesses::Running() const {
    size_t running = 0;
    for (Impl::Child& child : impl_->children) {
        impl_->Reap(child, false);
        if (child.running) ++running;
    }
    return running;
}

void ChildProcesses::EndAll() {
    if (impl_->group == 0 || Running() == 0) return;
    kill(-impl_->group, SIGTERM);
    for (int waited = 0; waited < kGraceMs && Running() > 0 && InterruptCount() < 2; waited += 20) SleepMs(20);
    if (Running() == 0) return;
    kill(-impl_->group, SIGKILL);
    // A killed child ends at once unless it sleeps in the kernel (a wedged driver): not waited for.
    for (int waited = 0; waited < kKillWaitMs && Running() > 0 && InterruptCount() < 2; waited += 20) SleepMs(20);
}
