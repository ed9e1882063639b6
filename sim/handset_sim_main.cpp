// handset-sim: a simulated MSM7200A handset in download mode behind a pseudo-terminal.
#include <cstdio>
#include <string>

#include "sim/simulator.h"
#include "veltrane_version.h"

int main(int argc, char** argv) {
    SimOptions options;
    SimRequest request = SimRequest::kRun;
    std::string error;
    if (!ParseSimOptions(argc, argv, options, request, error)) {
        std::fprintf(stderr, "handset-sim: %s\n\n%s", error.c_str(), SimUsage());
        return 2;
    }
    if (request == SimRequest::kHelp) {
        std::fputs(SimUsage(), stdout);
        return 0;
    }
    if (request == SimRequest::kVersion) {
        std::printf("handset-sim %s\n", VELTRANE_VERSION);
        return 0;
    }
    HandsetConfig config;
    if (!LoadHandsetConfig(options, config, error)) {
        std::fprintf(stderr, "handset-sim: %s\n", error.c_str());
        return 2;
    }
    return RunSimulator(options, std::move(config));
}
