// What the console flasher tells other programs about a run, one JSON object per line
// (`--progress json`), and what the several-handset run reads back from its children.
// Every line is plain ASCII (characters beyond it escaped), members in a fixed order. Names
// (the handset's port) are text, UTF-8; the last line is a trace line, bytes in the ANSI code
// page, carried as the characters they stand for (trace_line_text.h).
#pragma once

#include <cstdint>
#include <string>

struct ProgressEvent {
    std::string handset;   // the port as named on the command line
    std::string stage;     // kStage* below
    std::string image;     // during kStageImages: QCSBL, OEMSBL, AMSS, APPSBOOT, FLASH.bin, CEFS
    uint64_t done = 0;     // bytes of the stage's transfer acknowledged so far
    uint64_t total = 0;    // bytes the stage's transfer sends
    uint64_t bytesPerSecond = 0;
    double elapsed = 0;    // seconds since the run began
    std::string outcome;   // last event only: kOutcome*
    std::string lastLine;  // last event only: the trace's last line (or why there is no trace)
    std::string advice;    // last event of a failed run: what to do, from the table of run endings

    bool Ended() const { return !outcome.empty(); }
};

constexpr const char* kStageWaiting = "waiting for port";
constexpr const char* kStageProgrammer = "programmer";
constexpr const char* kStagePartitionTable = "partition table";
constexpr const char* kStageImages = "images";
constexpr const char* kStageStarting = "starting";  // the several-handset run, before a child speaks

constexpr const char* kOutcomeOk = "ok";
constexpr const char* kOutcomeFailed = "failed";
constexpr const char* kOutcomeInterrupted = "interrupted";

// One line of JSON, without the newline.
std::string FormatProgressEvent(const ProgressEvent& event);

// Reads a line written by FormatProgressEvent (fields in any order, unknown fields skipped).
// False for anything else: a child's stray output is not an event.
bool ParseProgressEvent(const std::string& line, ProgressEvent& event);

// The last non-empty line of a text (a trace ends without a newline).
std::string LastLineOf(const std::string& text);
