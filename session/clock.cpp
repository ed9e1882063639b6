#include "session/clock.h"

#include <atomic>
#include <ctime>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <time.h>
#endif

namespace {

class OperatingSystemClock final : public Clock {
public:
    int64_t NowSeconds() override { return static_cast<int64_t>(std::time(nullptr)); }

    uint64_t MonotonicMs() override {
#ifdef _WIN32
        // GetTickCount64 does not exist on Windows XP; the performance counter does.
        LARGE_INTEGER frequency, counter;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&counter);
        return static_cast<uint64_t>(counter.QuadPart / (frequency.QuadPart / 1000));
#else
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
#endif
    }

    void SleepMs(uint32_t milliseconds) override {
#ifdef _WIN32
        Sleep(milliseconds);
#else
        timespec wait{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
        while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
        }
#endif
    }
};

std::atomic<Clock*> installedClock{nullptr};

}  // namespace

Clock& SystemClock() {
    static OperatingSystemClock* clock = new OperatingSystemClock;  // never destroyed: threads may outlive exit
    return *clock;
}

Clock& CurrentClock() {
    Clock* clock = installedClock.load(std::memory_order_acquire);
    return clock ? *clock : SystemClock();
}

void SetClock(Clock* clock) { installedClock.store(clock, std::memory_order_release); }
