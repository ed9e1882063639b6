// CRC by folding: the message is a polynomial over GF(2) and only its remainder modulo the
// CRC polynomial P = x^16 + x^12 + x^5 + 1 matters. Four 128-bit accumulators each take
// every fourth 16-byte block; a step multiplies an accumulator by x^512 (modulo P, split
// into its two 64-bit halves) and adds the next block. At the end the accumulators are
// folded into one, whose 16 bytes, followed by the bytes left over, go through the table
// from a zero register: the result is the register that the table would have reached over
// the whole message.
//
// Bit order: the CRC is bit-reflected, so a block loaded little-endian holds the
// coefficient of its highest power in bit 0. A carry-less product of two reflected 64-bit
// values is the reflected 128-bit product shifted by one place, which the constants
// absorb: they are x^(n-1) mod P for a shift by x^n.
#include "protocol/crc16_folding.h"

#include <cstring>

// Built for both x86 targets (the 32-bit Windows program as well); used where the processor has it.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define VELTRANE_CRC_FOLDING 1
#include <immintrin.h>
#endif

namespace {

// x^n mod P, with the coefficient of x^j in bit j.
constexpr uint32_t PowerOfXModP(uint32_t n) {
    uint32_t value = 1;
    for (uint32_t i = 0; i < n; ++i) {
        value <<= 1;
        if (value & 0x10000) value ^= 0x11021;
    }
    return value;
}

// Reflected into a 64-bit lane: the coefficient of x^j goes to bit 63 - j.
constexpr uint64_t ReflectedConstant(uint32_t n) {
    uint32_t value = PowerOfXModP(n);
    uint64_t reflected = 0;
    for (int j = 0; j < 16; ++j)
        if (value & (1u << j)) reflected |= uint64_t{1} << (63 - j);
    return reflected;
}

static_assert(PowerOfXModP(16) == 0x1021, "x^16 mod P");

}  // namespace

#ifdef VELTRANE_CRC_FOLDING

namespace {

__attribute__((target("pclmul,sse2"))) inline __m128i Load(const uint8_t* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// Multiplies the accumulator by x^(64 + distance) for its high-degree half and x^distance
// for its low-degree half, modulo P (the constants hold both).
__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i accumulator, __m128i constants) {
    __m128i high = _mm_clmulepi64_si128(accumulator, constants, 0x00);
    __m128i low = _mm_clmulepi64_si128(accumulator, constants, 0x11);
    return _mm_xor_si128(high, low);
}

__attribute__((target("pclmul,sse2"))) inline __m128i Constants(uint32_t distanceBits) {
    return _mm_set_epi64x(static_cast<long long>(ReflectedConstant(distanceBits - 1)),
                          static_cast<long long>(ReflectedConstant(distanceBits + 64 - 1)));
}

}  // namespace

bool Crc16FoldingBuilt() { return true; }

bool Crc16FoldingAvailable() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
}

__attribute__((target("pclmul,sse2"))) uint16_t Crc16UpdateFolding(uint16_t crcRegister, const uint8_t* bytes,
                                                                     std::size_t length) {
    const __m128i fold512 = Constants(512);
    const __m128i fold128 = Constants(128);

    // The register stands for the next sixteen message bits.
    __m128i lane0 = _mm_xor_si128(Load(bytes), _mm_cvtsi32_si128(crcRegister));
    __m128i lane1 = Load(bytes + 16);
    __m128i lane2 = Load(bytes + 32);
    __m128i lane3 = Load(bytes + 48);
    std::size_t done = 64;
    for (; done + 64 <= length; done += 64) {
        lane0 = _mm_xor_si128(Fold(lane0, fold512), Load(bytes + done));
        lane1 = _mm_xor_si128(Fold(lane1, fold512), Load(bytes + done + 16));
        lane2 = _mm_xor_si128(Fold(lane2, fold512), Load(bytes + done + 32));
        lane3 = _mm_xor_si128(Fold(lane3, fold512), Load(bytes + done + 48));
    }
    lane1 = _mm_xor_si128(Fold(lane0, fold128), lane1);
    lane2 = _mm_xor_si128(Fold(lane1, fold128), lane2);
    __m128i accumulator = _mm_xor_si128(Fold(lane2, fold128), lane3);
    for (; done + 16 <= length; done += 16) accumulator = _mm_xor_si128(Fold(accumulator, fold128), Load(bytes + done));

    uint8_t folded[16];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(folded), accumulator);
    uint16_t crc = Crc16UpdateTable(0, folded, sizeof folded);
    return Crc16UpdateTable(crc, bytes + done, length - done);
}

#else

bool Crc16FoldingBuilt() { return false; }

bool Crc16FoldingAvailable() { return false; }

uint16_t Crc16UpdateFolding(uint16_t crcRegister, const uint8_t* bytes, std::size_t length) {
    return Crc16UpdateTable(crcRegister, bytes, length);
}

#endif
