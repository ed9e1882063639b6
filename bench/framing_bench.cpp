// Framing and unframing one image chunk (798,720 bytes behind a stream-write header):
// random content (an escape about every 128 bytes) and all-0x7E content (every byte
// escaped, the frame twice the chunk). Bytes per second count the chunk's bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "protocol/packet_buffer.h"
#include "session/process_values.h"

namespace {

void FillRandom(PacketBuffer& buffer) {
    std::mt19937 random(1);
    uint8_t* bytes = buffer.AllocatePayload(buffer.totalLength);
    for (uint32_t i = 0; i < buffer.totalLength; ++i) bytes[i] = static_cast<uint8_t>(random());
}

void FillFlags(PacketBuffer& buffer) { std::memset(buffer.AllocatePayload(buffer.totalLength), 0x7E, buffer.totalLength); }

const uint8_t kHeader[5] = {0x07, 0x00, 0x30, 0x0C, 0x00};

void BuildFrame(benchmark::State& state, void (*fill)(PacketBuffer&)) {
    PacketBuffer buffer(kImagePacketSize);
    fill(buffer);
    for (auto _ : state) {
        buffer.BuildFrame(kHeader, sizeof kHeader, 0);
        benchmark::DoNotOptimize(buffer.frameBuffer[buffer.framedLength - 1]);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kImagePacketSize);
    state.counters["frame_bytes"] = buffer.framedLength;
}

void UnframeResponse(benchmark::State& state, void (*fill)(PacketBuffer&)) {
    PacketBuffer buffer(kImagePacketSize);
    fill(buffer);
    buffer.BuildFrame(kHeader, sizeof kHeader, 0);
    const uint32_t received = buffer.framedLength;
    for (auto _ : state) {
        state.PauseTiming();  // the frame arrives, as a read would deliver it
        std::memcpy(buffer.receiveBuffer, buffer.frameBuffer, received);
        state.ResumeTiming();
        buffer.UnframeResponse(received);
        benchmark::DoNotOptimize(buffer.receiveBuffer[0]);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kImagePacketSize);
}

void BM_BuildFrameRandom(benchmark::State& state) { BuildFrame(state, FillRandom); }
void BM_BuildFrameAllFlags(benchmark::State& state) { BuildFrame(state, FillFlags); }
void BM_UnframeResponseRandom(benchmark::State& state) { UnframeResponse(state, FillRandom); }
void BM_UnframeResponseAllFlags(benchmark::State& state) { UnframeResponse(state, FillFlags); }

}  // namespace

BENCHMARK(BM_BuildFrameRandom)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildFrameAllFlags)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UnframeResponseRandom)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UnframeResponseAllFlags)->Unit(benchmark::kMicrosecond);
