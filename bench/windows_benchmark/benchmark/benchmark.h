// The part of Google Benchmark's interface that our benchmarks use, for the MinGW builds,
// which have no Google Benchmark: the same benchmark sources then run under Wine. Each
// benchmark runs with 1, 10, 100... iterations until one batch takes at least
// --benchmark_min_time seconds (0.5 by default); it prints the time per iteration and, where
// the benchmark counts bytes, the rate. Timed with steady_clock (QueryPerformanceCounter).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace benchmark {

enum TimeUnit { kMicrosecond };

class State {
public:
    explicit State(int64_t iterations) : iterations_(iterations) {}

    struct [[gnu::unused]] Value {};  // the loop variable is never read
    struct Iterator {
        State* state;
        int64_t left;
        Value operator*() const { return {}; }
        Iterator& operator++() {
            --left;
            return *this;
        }
        bool operator!=(const Iterator&) const {
            if (left > 0) return true;
            state->PauseTiming();
            return false;
        }
    };
    Iterator begin() {
        ResumeTiming();
        return {this, iterations_};
    }
    Iterator end() { return {this, 0}; }

    void PauseTiming() {
        if (running_) elapsed_ += std::chrono::steady_clock::now() - started_;
        running_ = false;
    }
    void ResumeTiming() {
        started_ = std::chrono::steady_clock::now();
        running_ = true;
    }
    void SetBytesProcessed(int64_t bytes) { bytes_ = bytes; }
    int64_t iterations() const { return iterations_; }
    double Seconds() const { return std::chrono::duration<double>(elapsed_).count(); }
    int64_t BytesProcessed() const { return bytes_; }

    std::map<std::string, double> counters;

private:
    int64_t iterations_;
    int64_t bytes_ = 0;
    bool running_ = false;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::duration elapsed_{};
};

template <class T>
inline void DoNotOptimize(T const& value) {
    asm volatile("" : : "r,m"(value) : "memory");
}

struct Registered {
    const char* name;
    void (*function)(State&);
    Registered* Unit(TimeUnit) { return this; }
};

inline std::vector<Registered*>& Benchmarks() {
    static std::vector<Registered*> benchmarks;
    return benchmarks;
}

inline Registered* Register(const char* name, void (*function)(State&)) {
    Benchmarks().push_back(new Registered{name, function});
    return Benchmarks().back();
}

inline int RunAll(int argc, char** argv) {
    double minimum = 0.5;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--benchmark_min_time=", 21) == 0) minimum = std::atof(argv[i] + 21);
    std::printf("%-32s %14s %12s %14s\n", "Benchmark", "Time", "Iterations", "Rate");
    for (Registered* benchmark : Benchmarks()) {
        for (int64_t iterations = 1;; iterations *= 10) {
            State state(iterations);
            benchmark->function(state);
            if (state.Seconds() < minimum && iterations < (int64_t{1} << 40)) continue;
            const double perIteration = state.Seconds() / static_cast<double>(iterations);
            std::printf("%-32s %11.1f us %12lld", benchmark->name, perIteration * 1e6, static_cast<long long>(iterations));
            if (state.BytesProcessed())
                std::printf(" %9.1f MB/s", static_cast<double>(state.BytesProcessed()) / state.Seconds() / 1e6);
            for (const auto& [name, value] : state.counters) std::printf(" %s=%g", name.c_str(), value);
            std::printf("\n");
            break;
        }
    }
    return 0;
}

}  // namespace benchmark

#define VELTRANE_BENCHMARK_JOIN2(a, b) a##b
#define VELTRANE_BENCHMARK_JOIN(a, b) VELTRANE_BENCHMARK_JOIN2(a, b)
#define BENCHMARK(function)                                                                          \
    [[maybe_unused]] static ::benchmark::Registered* VELTRANE_BENCHMARK_JOIN(registered_, __LINE__) = \
        ::benchmark::Register(#function, function)
