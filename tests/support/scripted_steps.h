// Step operations that follow a script: each call is logged (and marked in the trace, so a
// golden trace shows where the driver's own lines fall), and returns 1 unless the script
// says otherwise. Transfers publish their progress as the real ones do.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "session/step_operations.h"

class ScriptedSteps {
public:
    ScriptedSteps();

    // Makes the call named like its log entry ("sendHello", "writeImage Amss", ...) return `result`.
    void SetResult(const std::string& call, int result) { results_[call] = result; }
    // Runs `action` when the named call happens (before it returns its result).
    void OnCall(const std::string& call, std::function<void()> action) { actions_[call] = std::move(action); }

    // Installs the script as the process's step operations.
    void Install();

    const std::vector<std::string>& Calls() const { return calls_; }

private:
    int Step(const std::string& call, bool transfer);

    std::map<std::string, int> results_;
    std::map<std::string, std::function<void()>> actions_;
    std::vector<std::string> calls_;
    StepOperations operations_;
};

const char* TargetName(ImageTarget target);
