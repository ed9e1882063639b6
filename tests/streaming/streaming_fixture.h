// Streaming commands and image transfers against a scripted port, with a package of small
// images in a temporary program file and a virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/session_state.h"
#include "tests/package/package_builder.h"
#include "tests/support/recording_window.h"
#include "tests/support/temp_directory.h"
#include "tests/support/virtual_clock.h"
#include "tests/transport/scripted_port.h"

class StreamingFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Installs the package as the program file and decodes its directory, as the run-start check does.
    void InstallPackage(TestPackage package);
    // Twelve present images: small ones, with the given sizes where named.
    static TestPackage SmallPackage();

    // The content of each frame written (unframed), one per attempt that sent.
    std::vector<std::vector<uint8_t>> SentContents() const;
    std::string TraceText() const { return ReadWholeFile("trace.txt"); }

    TempDirectory directory;
    ScopedVirtualClock time;
    ScriptedPort port;
    RecordingWindow window;
    SessionState session;
};

std::vector<uint8_t> Bytes(std::initializer_list<int> values);
std::vector<uint8_t> Concat(std::vector<uint8_t> head, const std::string& tail);
// How many times `part` occurs in `text`.
size_t Occurrences(const std::string& text, const std::string& part);
bool EndsWith(const std::string& text, const std::string& tail);
