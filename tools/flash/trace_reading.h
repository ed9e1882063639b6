// Reads a run's trace.txt back: where the run ended (the step's heading lines tell two steps
// with one failure text apart), the failure text, what the handset acknowledged, what it
// holds and what to do, from the table of run endings.
#pragma once

#include <string>
#include <vector>

#include "session/run_endings.h"

constexpr const char* kTraceOk = "ok";
constexpr const char* kTraceFailed = "failed";
constexpr const char* kTraceIncomplete = "incomplete";  // the trace just stops

struct TraceReading {
    const char* outcome = kTraceIncomplete;
    std::string failure;                  // the failure text as traced; empty when none
    const RunStep* step = nullptr;        // where the run ended
    const RunEnding* ending = nullptr;    // the table's row ("Finish" for a good run); nullptr for an incomplete trace
    HandsetHolds holds = HandsetHolds::kUnknown;
    Unplugging unplug = Unplugging::kWhenEnded;
    // What the handset acknowledged as whole, in run order, by the names `veltrane-pack
    // extract` gives the files: partition.mbn once the table was accepted, a header that
    // travels in its image's open once that open was acknowledged, any other image once its
    // close was. Never the programmer: it lives in RAM.
    std::vector<std::string> written;
    // The programmer's steps the handset acknowledged (programmer, GO, hello, security mode).
    std::vector<std::string> acknowledged;
    std::string advice;
};

// The reading of a run that ended with `text` shown but not traced (a box, a refusal):
// false when no row of the table has the text.
bool ReadShownText(const std::string& text, TraceReading& reading);

// False with `error` for bytes that are no trace of ours (they do not begin as a run's
// trace does).
bool ReadTrace(const std::string& bytes, TraceReading& reading, std::string& error);
