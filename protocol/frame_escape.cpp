#include "protocol/frame_escape.h"

#include <bit>
#include <cstdint>
#include <cstring>

// Sixteen bytes at a time with SSE2 on x86: always on x86_64; on i686 (the 32-bit program,
// which also serves processors without SSE2) chosen at run time. Eight bytes at a time in a
// plain word elsewhere (the tests build the plain path alone too, with VELTRANE_PLAIN_ESCAPES).
#if (defined(__SSE2__) || defined(__i386__)) && defined(__GNUC__) && !defined(VELTRANE_PLAIN_ESCAPES)
#define VELTRANE_SSE2_ESCAPES 1
#include <emmintrin.h>
#if defined(__SSE2__)
#define VELTRANE_SSE2 /* the target's own */
#else
#define VELTRANE_SSE2 __attribute__((target("sse2")))
#endif
#endif

namespace {

inline bool IsFrameSpecial(uint8_t byte) { return byte == kEscapeByte || byte == kFrameFlag; }

// Escapes one byte without a branch: a plain byte is stored once, a special one as a pair.
inline uint8_t* EscapeByte(uint8_t* out, uint8_t byte) {
    const std::size_t special = IsFrameSpecial(byte) ? 1 : 0;
    out[0] = special ? kEscapeByte : byte;
    out[special] = special ? static_cast<uint8_t>(byte ^ kEscapeXor) : byte;
    return out + 1 + special;
}

// Unescapes starting at in[i] (in[i] is the next byte to look at); returns the next index.
inline std::size_t UnescapeStep(uint8_t*& out, const uint8_t* in, std::size_t i, std::size_t length,
                                uint32_t& pairs) {
    uint8_t byte = in[i];
    if (byte == kEscapeByte && i + 1 < length) {
        uint8_t next = in[i + 1];
        if (next == (kFrameFlag ^ kEscapeXor) || next == (kEscapeByte ^ kEscapeXor)) {
            *out++ = static_cast<uint8_t>(next ^ kEscapeXor);
            ++pairs;
            return i + 2;
        }
    }
    *out++ = byte;
    return i + 1;
}

#if defined(VELTRANE_SSE2_ESCAPES)
bool Sse2Available() {
#if defined(__SSE2__)
    return true;
#else
    static const bool available = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("sse2") != 0;
    }();
    return available;
#endif
}

// True when every odd byte of the block is the second byte of an escape pair.
VELTRANE_SSE2 inline bool AllPairSeconds(__m128i block, __m128i escapedFlag, __m128i escapedEscape) {
    int seconds = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, escapedFlag), _mm_cmpeq_epi8(block, escapedEscape)));
    return (seconds & 0xAAAA) == 0xAAAA;
}
#endif

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighs = 0x8080808080808080ull;
inline bool HasByte(uint64_t word, uint8_t value) {
    uint64_t x = word ^ (kOnes * value);
    return ((x - kOnes) & ~x & kHighs) != 0;
}


// The block loops: each goes as far as whole blocks take it and leaves `i` where it stopped.
#if defined(VELTRANE_SSE2_ESCAPES)
VELTRANE_SSE2 uint8_t* EscapeBlocksSse2(uint8_t* out, const uint8_t* in, std::size_t length, std::size_t& i) {
    const __m128i escape = _mm_set1_epi8(static_cast<char>(kEscapeByte));
    const __m128i flag = _mm_set1_epi8(static_cast<char>(kFrameFlag));
    const __m128i flip = _mm_set1_epi8(static_cast<char>(kEscapeXor));
    while (i + 16 <= length) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, escape), _mm_cmpeq_epi8(block, flag)));
        if (mask == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
            out += 16;
            i += 16;
        } else if (mask == 0xFFFF) {
            // Sixteen specials (a block of flags or escapes): sixteen pairs in two stores.
            __m128i flipped = _mm_xor_si128(block, flip);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(escape, flipped));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi8(escape, flipped));
            out += 32;
            i += 16;
        } else if (std::popcount(static_cast<unsigned>(mask)) <= 3) {
            // A few specials: the block goes out whole, the first special becomes its pair
            // behind the plain bytes before it, and the scan resumes after it (what the
            // store put beyond the pair is overwritten by what follows).
            int position = std::countr_zero(static_cast<unsigned>(mask));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
            out += position;
            i += static_cast<std::size_t>(position);
            out = EscapeByte(out, in[i]);
            ++i;
        } else {
            for (std::size_t k = 0; k < 16; ++k) out = EscapeByte(out, in[i + k]);
            i += 16;
        }
    }
    return out;
}

VELTRANE_SSE2 uint8_t* UnescapeBlocksSse2(uint8_t* out, const uint8_t* in, std::size_t length, std::size_t& i,
                                          uint32_t& removed) {
    const __m128i escape = _mm_set1_epi8(static_cast<char>(kEscapeByte));
    const __m128i escapedFlag = _mm_set1_epi8(static_cast<char>(kFrameFlag ^ kEscapeXor));
    const __m128i escapedEscape = _mm_set1_epi8(static_cast<char>(kEscapeByte ^ kEscapeXor));
    const __m128i flip = _mm_set1_epi8(static_cast<char>(kEscapeXor));
    // A block is loaded whole before anything is stored, and the output never runs ahead of
    // the input, so unescaping within one buffer is safe.
    while (i + 16 <= length) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        int escapes = _mm_movemask_epi8(_mm_cmpeq_epi8(block, escape));
        if (escapes == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
            out += 16;
            i += 16;
            continue;
        }
        if (escapes == 0x5555 && AllPairSeconds(block, escapedFlag, escapedEscape)) {
            // Escape pairs in a row (a run of flags or escapes in the content): keep the
            // second byte of each, flipped back, sixteen pairs at a time while they last.
            if (i + 32 <= length) {
                __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 16));
                if (_mm_movemask_epi8(_mm_cmpeq_epi8(next, escape)) == 0x5555 &&
                    AllPairSeconds(next, escapedFlag, escapedEscape)) {
                    __m128i packed = _mm_packus_epi16(_mm_srli_epi16(block, 8), _mm_srli_epi16(next, 8));
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_xor_si128(packed, flip));
                    out += 16;
                    i += 32;
                    removed += 16;
                    continue;
                }
            }
            __m128i seconds16 = _mm_srli_epi16(block, 8);
            __m128i packed = _mm_xor_si128(_mm_packus_epi16(seconds16, seconds16), flip);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out), packed);
            out += 8;
            i += 16;
            removed += 8;
            continue;
        }
        // A block with an escape or two, when the output is far enough behind the input (or
        // elsewhere) that a whole-block store cannot reach bytes still to be read: the
        // block goes out whole and the escape is resolved behind the plain bytes before it.
        const auto outAt = reinterpret_cast<uintptr_t>(out);
        const auto inAt = reinterpret_cast<uintptr_t>(in + i);
        const bool storeIsSafe = outAt + 16 <= inAt || outAt >= reinterpret_cast<uintptr_t>(in + length);
        if (storeIsSafe && std::popcount(static_cast<unsigned>(escapes)) <= 2) {
            int position = std::countr_zero(static_cast<unsigned>(escapes));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
            out += position;
            i = UnescapeStep(out, in, i + static_cast<std::size_t>(position), length, removed);
            continue;
        }
        // Otherwise byte by byte up to the block's end (a pair may reach one byte into the next).
        std::size_t blockEnd = i + 16;
        while (i < blockEnd) i = UnescapeStep(out, in, i, length, removed);
    }
    return out;
}
#endif

uint8_t* EscapeBlocksPlain(uint8_t* out, const uint8_t* in, std::size_t length, std::size_t& i) {
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        std::memcpy(&word, in + i, 8);
        if (!HasByte(word, kEscapeByte) && !HasByte(word, kFrameFlag)) {
            std::memcpy(out, &word, 8);
            out += 8;
        } else {
            for (std::size_t k = 0; k < 8; ++k) out = EscapeByte(out, in[i + k]);
        }
    }
    return out;
}

uint8_t* UnescapeBlocksPlain(uint8_t* out, const uint8_t* in, std::size_t length, std::size_t& i, uint32_t& removed) {
    while (i + 8 <= length) {
        uint64_t word;
        std::memcpy(&word, in + i, 8);
        if (!HasByte(word, kEscapeByte)) {
            std::memmove(out, in + i, 8);
            out += 8;
            i += 8;
            continue;
        }
        std::size_t blockEnd = i + 8;
        while (i < blockEnd) i = UnescapeStep(out, in, i, length, removed);
    }
    return out;
}

}  // namespace

uint8_t* EscapeInto(uint8_t* out, const uint8_t* in, std::size_t length) {
    std::size_t i = 0;
#if defined(VELTRANE_SSE2_ESCAPES)
    if (Sse2Available())
        out = EscapeBlocksSse2(out, in, length, i);
    else
#endif
        out = EscapeBlocksPlain(out, in, length, i);
    for (; i < length; ++i) out = EscapeByte(out, in[i]);
    return out;
}

uint8_t* UnescapeInto(uint8_t* out, const uint8_t* in, std::size_t length, uint32_t* pairs) {
    uint32_t removed = 0;
    std::size_t i = 0;
#if defined(VELTRANE_SSE2_ESCAPES)
    if (Sse2Available())
        out = UnescapeBlocksSse2(out, in, length, i, removed);
    else
#endif
        out = UnescapeBlocksPlain(out, in, length, i, removed);
    while (i < length) i = UnescapeStep(out, in, i, length, removed);
    *pairs += removed;
    return out;
}

uint32_t EscapeFrame(uint8_t* buffer, uint32_t length, uint8_t value) {
    uint32_t count = 0;
    for (uint32_t i = 0; i < length; ++i) count += buffer[i] == value ? 1u : 0u;
    if (count == 0) return 0;
    // Expand from the end toward the start: every byte moves once, by the number of
    // occurrences in front of it.
    const uint8_t second = static_cast<uint8_t>(value ^ kEscapeXor);
    uint8_t* out = buffer + length + count;
    for (uint32_t i = length; i-- > 0;) {
        uint8_t byte = buffer[i];
        if (byte == value) {
            *--out = second;
            *--out = kEscapeByte;
        } else {
            *--out = byte;
        }
    }
    return count;
}

uint32_t UnescapeFrame(uint8_t* buffer, uint32_t length) {
    uint32_t pairs = 0;
    uint8_t* end = UnescapeInto(buffer, buffer, length, &pairs);
    std::memset(end, 0, pairs);
    return pairs;
}
