#include "tests/sim/sim_process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

SimProcess::~SimProcess() {
    if (child_ > 0) {
        Terminate();
        if (Wait(5000) == -1) {
            ::kill(child_, SIGKILL);
            ::waitpid(child_, nullptr, 0);
        }
    }
    if (output_ >= 0) ::close(output_);
}

bool SimProcess::Start(const std::vector<std::string>& arguments) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::vector<char*> argv;
    std::string program = HANDSET_SIM_PROGRAM;
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (auto& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int spawned = posix_spawn(&child_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    output_ = pipeEnds[0];
    if (spawned != 0) {
        child_ = -1;
        return false;
    }
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd entry{output_, POLLIN, 0};
        if (::poll(&entry, 1, 100) <= 0) continue;
        char byte;
        if (::read(output_, &byte, 1) != 1) return false;
        if (byte != '\n') {
            line.push_back(byte);
            continue;
        }
        if (line.rfind("READY ", 0) != 0) return false;
        terminalPath_ = line.substr(6);
        return true;
    }
    return false;
}

int SimProcess::Wait(int timeoutMs) {
    if (child_ <= 0) return -1;
    for (int waited = 0; waited <= timeoutMs; waited += 10) {
        int status = 0;
        pid_t done = ::waitpid(child_, &status, WNOHANG);
        if (done == child_) {
            child_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

void SimProcess::Terminate() {
    if (child_ > 0) ::kill(child_, SIGTERM);
}
