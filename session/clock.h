// Time seam: calendar seconds, sleeps and a monotonic millisecond counter.
// Every pause and time-stamp of a run goes through here, so that budgets of minutes
// (port search, partition-table cycles, the watch thread's polls) run in milliseconds
// under a test clock.
#pragma once

#include <cstdint>

class Clock {
public:
    virtual ~Clock() = default;
    // Calendar time in whole seconds (the trace's rates and elapsed times use it).
    virtual int64_t NowSeconds() = 0;
    // Milliseconds from an arbitrary start; never goes backwards.
    virtual uint64_t MonotonicMs() = 0;
    virtual void SleepMs(uint32_t milliseconds) = 0;
};

// The real clock of the operating system.
Clock& SystemClock();

// The clock in use; the system clock unless a test installed another one.
Clock& CurrentClock();
// Installs a clock (nullptr restores the system clock). Not thread-safe: install before
// starting threads.
void SetClock(Clock* clock);

inline int64_t NowSeconds() { return CurrentClock().NowSeconds(); }
inline uint64_t MonotonicMs() { return CurrentClock().MonotonicMs(); }
inline void SleepMs(uint32_t milliseconds) { CurrentClock().SleepMs(milliseconds); }
