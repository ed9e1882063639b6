// A clock whose time moves only when someone sleeps: budgets of minutes run in an instant
// and elapsed times in the trace come out the same on every machine.
#pragma once

#include <atomic>
#include <cstdint>

#include "session/clock.h"
#include "session/thread_start.h"

class VirtualClock final : public Clock {
public:
    explicit VirtualClock(int64_t startSeconds = 1700000000) : startSeconds_(startSeconds) {}

    int64_t NowSeconds() override { return startSeconds_ + static_cast<int64_t>(elapsedMs_.load() / 1000); }
    uint64_t MonotonicMs() override { return elapsedMs_.load(); }
    void SleepMs(uint32_t milliseconds) override {
        elapsedMs_ += milliseconds;
        sleptMs_ += milliseconds;
        ++sleeps_;
        YieldThread();
    }

    void Advance(uint64_t milliseconds) { elapsedMs_ += milliseconds; }
    uint64_t SleptMs() const { return sleptMs_.load(); }
    uint64_t Sleeps() const { return sleeps_.load(); }

private:
    int64_t startSeconds_;
    std::atomic<uint64_t> elapsedMs_{0};
    std::atomic<uint64_t> sleptMs_{0};
    std::atomic<uint64_t> sleeps_{0};
};

// Installs a virtual clock for the lifetime of the object.
class ScopedVirtualClock {
public:
    ScopedVirtualClock() { SetClock(&clock); }
    ~ScopedVirtualClock() { SetClock(nullptr); }
    VirtualClock clock;
};
