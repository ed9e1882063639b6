// handset-sim started as a child process for a test: waits for its READY line, and for
// its end.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess();  // ends the child (SIGTERM) if it still runs
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts handset-sim with the arguments and waits up to 10 s for "READY <path>".
    bool Start(const std::vector<std::string>& arguments);
    // Waits up to `timeoutMs` for the child to end; its exit status, or -1 if it did not.
    int Wait(int timeoutMs);
    void Terminate();
    const std::string& TerminalPath() const { return terminalPath_; }

private:
    pid_t child_ = -1;
    int output_ = -1;
    std::string terminalPath_;
};
