// Several handsets at once: one child flasher per port (the run's state is process-wide),
// each in a run folder of its own where its trace.txt lies, with one view of them all.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "tools/flash/console_display.h"

struct SeveralHandsetsRun {
    std::vector<std::string> ports;
    std::string runs = "runs";          // the run folders' parent
    std::string program;                // this program, started once per handset
    std::vector<std::string> shared;    // arguments every child gets (package, settings)
    ProgressFormat format = ProgressFormat::kText;
    bool terminal = false;              // `out` is a terminal: rows redrawn in place
};

// 0 when every handset was flashed, 1 when any was not, 2 for a command line refused
// before anything started (a port named twice).
int FlashSeveralHandsets(const SeveralHandsetsRun& run, std::FILE* out, std::FILE* err);
