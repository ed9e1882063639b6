// A scripted handset behind the Remote API: every call is logged with the arguments that
// matter (and the clock's sleeps in between); command lines are kept as the code units passed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "prepare/remote_api.h"
#include "session/clock.h"

struct FakeHandset {
    CeResult initResult = 0;
    bool linkUp = true;
    bool powerAnswers = true;  // false: the power call fails and fills nothing
    uint8_t batteryPercent = 100;
    bool versionStored = true;  // false: the "test" value cannot be read
    uint8_t version = 'B';
    std::vector<std::string> calls;
    std::vector<std::u16string> commandLines;
};

// Installs the fake's table and a clock that logs its sleeps, for the object's lifetime.
class ScopedFakeHandset : public Clock {
public:
    ScopedFakeHandset();
    ~ScopedFakeHandset() override;
    int64_t NowSeconds() override { return 0; }
    uint64_t MonotonicMs() override { return 0; }
    void SleepMs(uint32_t milliseconds) override { handset.calls.push_back("sleep " + std::to_string(milliseconds)); }
    FakeHandset handset;
};
