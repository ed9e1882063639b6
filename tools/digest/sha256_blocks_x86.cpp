// SHA-256 blocks with the x86 SHA extensions: four rounds per step, the message schedule
// computed alongside. Chosen at run time, so the programs still run on processors without.
// 64-bit only: 32-bit Windows does not keep the stack aligned for SSE values.
#include "tools/digest/sha256_blocks.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <immintrin.h>

namespace {

bool HasShaExtensions() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    const bool ssse3 = (ecx & bit_SSSE3) != 0, sse41 = (ecx & bit_SSE4_1) != 0;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
    return ssse3 && sse41 && (ebx & bit_SHA) != 0;
}

__attribute__((target("sha,sse4.1,ssse3"))) void Blocks(Sha256State& state, const uint8_t* blocks,
                                                         std::size_t count) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    // The instructions keep the state as ABEF and CDGH.
    __m128i abcd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i efgh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    abcd = _mm_shuffle_epi32(abcd, 0xB1);
    efgh = _mm_shuffle_epi32(efgh, 0x1B);
    __m128i abef = _mm_alignr_epi8(abcd, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, abcd, 0xF0);

    for (; count > 0; --count, blocks += 64) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        __m128i words[4];  // words[r % 4]: the schedule's words 4r .. 4r + 3
        for (int i = 0; i < 4; ++i)
            words[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), byteSwap);
        for (int r = 0; r < 16; ++r) {
            __m128i wk = _mm_add_epi32(words[r & 3], _mm_load_si128(reinterpret_cast<const __m128i*>(&kSha256Round[4 * r])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
            wk = _mm_shuffle_epi32(wk, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, wk);
            if (r < 12) {
                // Words 4r + 16 .. 4r + 19 from words 4r .. 4r + 15.
                __m128i next = _mm_sha256msg1_epu32(words[r & 3], words[(r + 1) & 3]);
                next = _mm_add_epi32(next, _mm_alignr_epi8(words[(r + 3) & 3], words[(r + 2) & 3], 4));
                words[r & 3] = _mm_sha256msg2_epu32(next, words[(r + 3) & 3]);
            }
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(dchg, feba, 8));
}

}  // namespace

bool Sha256BlocksAccelerated(Sha256State& state, const uint8_t* blocks, std::size_t count) {
    static const bool available = HasShaExtensions();
    if (!available) return false;
    Blocks(state, blocks, count);
    return true;
}

#else

bool Sha256BlocksAccelerated(Sha256State&, const uint8_t*, std::size_t) { return false; }

#endif
