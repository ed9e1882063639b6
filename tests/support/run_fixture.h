// A run driver with everything around it replaced: a temporary current directory, a
// virtual clock, a recording window, scripted steps and recorded message boxes.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/session_state.h"
#include "tests/support/recording_window.h"
#include "tests/support/scripted_steps.h"
#include "tests/support/temp_directory.h"
#include "tests/support/virtual_clock.h"

class RunFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes "a.ini" and reads it as the watch thread would.
    void UseSettings(const std::string& aIni);
    // Runs the worker on this thread (it ends its own progress monitors).
    void RunWorker();

    // Boxes shown so far, as "caption|text"; also kept in "boxes.txt" so that a test can
    // read what a child process showed before it exited.
    // Line ends in box texts are kept as "\\r" and "\\n", one box per line.
    static std::vector<std::string> BoxesFromFile();
    static std::string Escaped(const std::string& text);
    std::vector<std::string> boxes;

    TempDirectory directory;
    ScopedVirtualClock time;
    RecordingWindow window;
    SessionState session;
    ScriptedSteps steps;
};

// Reads a golden file of tests/<relative>.
std::string Golden(const std::string& relative);
