// The helpers GCC and the ARM EABI call in the freestanding agent: exact byte ranges
// and the EABI's argument order (size before fill value), which differs from memset's.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "runtime_native.h"

namespace {

constexpr uint8_t kGuard = 0xEE;
// Large enough that swapped size/value arguments land inside the buffer and show up.
using Buffer = std::array<uint8_t, 256>;

Buffer guarded()
{
    Buffer buffer;
    buffer.fill(kGuard);
    return buffer;
}

// Fills [8, 8 + size) with `value` through one helper; returns the whole buffer.
struct Filler {
    std::string name;
    std::function<void(void *, size_t, int)> fill;
    bool clears;  // memclr: always zero
};

std::vector<Filler> fillers()
{
    return {
        {"memset", [](void *d, size_t n, int v) { agent_rt_memset(d, v, n); }, false},
        {"__aeabi_memset", agent_rt___aeabi_memset, false},
        {"__aeabi_memset4", agent_rt___aeabi_memset4, false},
        {"__aeabi_memset8", agent_rt___aeabi_memset8, false},
        {"__aeabi_memclr", [](void *d, size_t n, int) { agent_rt___aeabi_memclr(d, n); }, true},
        {"__aeabi_memclr4", [](void *d, size_t n, int) { agent_rt___aeabi_memclr4(d, n); }, true},
        {"__aeabi_memclr8", [](void *d, size_t n, int) { agent_rt___aeabi_memclr8(d, n); }, true},
    };
}

TEST(agent_runtime, SetAndClearHelpersWriteExactlyTheRequestedRange)
{
    for (const auto &filler : fillers()) {
        for (size_t size : {0u, 1u, 3u, 8u, 17u}) {
            Buffer buffer = guarded();
            filler.fill(buffer.data() + 8, size, 0x5A);
            const uint8_t expected = filler.clears ? 0x00 : 0x5A;
            for (size_t i = 0; i < buffer.size(); ++i) {
                const bool inside = i >= 8 && i < 8 + size;
                ASSERT_EQ(buffer[i], inside ? expected : kGuard)
                    << filler.name << " size " << size << " byte " << i;
            }
        }
    }
}

TEST(agent_runtime, MemsetKeepsOnlyTheLowByteAndReturnsDestination)
{
    Buffer buffer = guarded();
    EXPECT_EQ(agent_rt_memset(buffer.data(), 0x1234, 4), buffer.data());
    EXPECT_EQ(buffer[0], 0x34);
    EXPECT_EQ(buffer[3], 0x34);
    EXPECT_EQ(buffer[4], kGuard);
}

TEST(agent_runtime, CopyHelpersCopyExactlyTheRequestedBytes)
{
    const std::vector<std::pair<std::string, std::function<void(void *, const void *, size_t)>>>
        copiers = {
            {"memcpy", [](void *d, const void *s, size_t n) { agent_rt_memcpy(d, s, n); }},
            {"__aeabi_memcpy", agent_rt___aeabi_memcpy},
            {"__aeabi_memcpy4", agent_rt___aeabi_memcpy4},
            {"__aeabi_memcpy8", agent_rt___aeabi_memcpy8},
        };
    Buffer source;
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<uint8_t>(i * 7 + 1);

    for (const auto &[name, copy] : copiers) {
        for (size_t size : {0u, 1u, 5u, 16u, 33u}) {
            Buffer buffer = guarded();
            copy(buffer.data() + 8, source.data() + 8, size);
            for (size_t i = 0; i < buffer.size(); ++i) {
                const bool inside = i >= 8 && i < 8 + size;
                ASSERT_EQ(buffer[i], inside ? source[i] : kGuard)
                    << name << " size " << size << " byte " << i;
            }
        }
    }

    Buffer buffer = guarded();
    EXPECT_EQ(agent_rt_memcpy(buffer.data(), source.data(), 2), buffer.data());
}

}  // namespace
