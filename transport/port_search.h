// The download port search: up to 300 usable attempts, 100 ms apart after a failure,
// while the handset enumerates (again, after GO). The 301st attempt ends the search even
// when it opened the port.
#pragma once

#include <functional>
#include <string>

constexpr int kPortSearchAttempts = 300;
constexpr unsigned kPortSearchPauseMs = 100;

struct PortSearch {
    // The name to open at each attempt (attempt counts from 1).
    std::function<std::string(int attempt)> portName = {};
    // Each attempt's "Open port %s status %d\n" line goes to the trace.
    bool traceAttempts = true;
    // Told of every attempt after it was made (a console shows what it waits for).
    std::function<void(int attempt, const std::string& name, int status)> observe = {};
};

// 1 when the port is open, 0 after the last attempt ("Can't Connected Port.\n" traced).
int SearchDownloadPort(const PortSearch& search);

// The Windows XP names: \\.\wceusbsh001 .. \\.\wceusbsh099, then again from 001.
std::string SerialDownloadPortName(int attempt);
