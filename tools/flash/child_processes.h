// The children of a several-handset run: each started with its stdout on a pipe read back
// as lines, its stderr in a file and no stdin; all ended together; none outlives the parent
// (a process group and the parent-death signal on POSIX, a job object on Windows).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class ChildProcesses {
public:
    ChildProcesses();
    ~ChildProcesses();  // ends every child still running
    ChildProcesses(const ChildProcesses&) = delete;
    ChildProcesses& operator=(const ChildProcesses&) = delete;

    // Starts `program` with `arguments` in `folder`; the child is number Count() - 1.
    // False with `error` set when it cannot start.
    bool Start(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder,
               const std::string& errorFile, std::string& error);

    using LineHandler = std::function<void(size_t child, const std::string& line)>;
    using ExitHandler = std::function<void(size_t child, int status)>;
    // Waits up to `timeoutMs` for output, then hands over every whole line, and every child
    // that has ended with its output read (status 128 + N for a child ended by signal N).
    // Returns early when an interrupt arrives.
    void Wait(int timeoutMs, const LineHandler& onLine, const ExitHandler& onExit);

    size_t Count() const;
    size_t Running() const;
    bool IsRunning(size_t child) const;
    // Asks every running child to end (SIGTERM; Windows has no such request between console
    // groups, so there they are ended at once), after a grace of a few seconds has the system
    // end those still there, and reaps those that ended (their exits are reported by the next
    // Wait). A child that cannot end (I/O pending in a wedged driver) is left running, never
    // waited for; a second interrupt cuts the grace short.
    void EndAll();

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// From here on Ctrl-C and termination requests (SIGINT, SIGTERM, SIGHUP; the console's
// control events on Windows) set a flag and wake Wait instead of ending the parent.
void CatchInterrupts();
bool InterruptRequested();
// How many interrupts came: the second ends the parent at once.
int InterruptCount();
