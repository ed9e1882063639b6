// Converting the programmer carried by the program (about 311 KB of Intel HEX text into
// 110,648 bytes), as SendProgrammer does once per run. Bytes per second count the text.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "protocol/intel_hex.h"
#include "protocol/programmer_resource.h"

namespace {

void BM_ConvertIntelHexProgrammer(benchmark::State& state) {
    std::span<const uint8_t> text = ProgrammerHexText();
    std::vector<uint8_t> buffer(text.size());
    uint32_t length = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(buffer.data(), text.data(), text.size());
        state.ResumeTiming();
        length = ConvertIntelHex(buffer.data(), static_cast<uint32_t>(buffer.size()));
        benchmark::DoNotOptimize(buffer[0]);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["image_bytes"] = length;
}

}  // namespace

BENCHMARK(BM_ConvertIntelHexProgrammer)->Unit(benchmark::kMicrosecond);
