// The simulated handset's main loop: requests in from the pty, replies out, faults as
// ordered, the manifest at the end.
#pragma once

#include <string>

#include "sim/handset_model.h"
#include "sim/sim_options.h"

// Runs until the handset resets, vanishes or SIGTERM arrives; returns the exit status
// (0, or 2 when the port could not be set up). Prints "READY <terminal path>" once.
int RunSimulator(const SimOptions& options, HandsetConfig config);

// Loads --programmer (Intel HEX, as the bytes its data records hold) and --stored-table
// into the configuration; false with `error` set when a file cannot be read.
bool LoadHandsetConfig(const SimOptions& options, HandsetConfig& config, std::string& error);
