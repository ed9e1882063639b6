// The simulated handset's command line.
#pragma once

#include <cstdint>
#include <set>
#include <string>

struct SimOptions {
    std::string link;          // --link PATH: symlink to the pty's terminal end
    std::string programmer;    // --programmer FILE (Intel HEX) expected in RAM before GO
    std::string storedTable;   // --stored-table FILE: the handset's partition table
    std::string manifest;      // --manifest FILE
    std::string log;           // --log FILE
    std::set<uint32_t> dropReply, corruptReply, garbleReply, wrongAddress;  // request numbers
    uint32_t delayMs = 0;
    bool partitionStatus1 = false;
    bool silentHello = false;
    uint32_t vanishAfter = 0;  // 0: never
};

// What the command line asks for: a session, or only the usage text or the version.
enum class SimRequest { kRun, kHelp, kVersion };

// Parses argv; false with `error` set for a bad command line. --help and --version need
// nothing else (not even --link).
bool ParseSimOptions(int argc, const char* const* argv, SimOptions& options, SimRequest& request, std::string& error);

const char* SimUsage();
