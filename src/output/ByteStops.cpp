// The scans for the escapes' stops: each form's bytes as a vector test and a byte test, run by
// one loop, with AVX2 where Utf8Blocks found it, else SSE2, else byte by byte.
#include "output/ByteStops.h"

#include <string.h>

#include "unicode/Utf8Blocks.h"

#ifdef __SSE2__
#include <immintrin.h>
#endif

#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#define CELLSIFT_AVX2_SCANS 1
#endif

namespace {

// The byte classes the escapes stop at, each as a vector test and a byte test. Text runs
// between them are appended whole, so the scans are most of the work on a large workbook.
struct LineStops {
    // Below 0x20, DEL, and the lead bytes of C1 (0xC2) and of the separators (0xE2).
    static bool FStop(unsigned char b) { return b < 0x20 || b == 0x7F || b == 0xC2 || b == 0xE2; }
#ifdef __SSE2__
    static __m128i Stops(__m128i x)
    {
        __m128i xControl = _mm_cmpeq_epi8(_mm_max_epu8(x, _mm_set1_epi8(0x1F)), _mm_set1_epi8(0x1F));
        __m128i xDel = _mm_cmpeq_epi8(x, _mm_set1_epi8(0x7F));
        __m128i xC2 = _mm_cmpeq_epi8(x, _mm_set1_epi8(static_cast<char>(0xC2)));
        __m128i xE2 = _mm_cmpeq_epi8(x, _mm_set1_epi8(static_cast<char>(0xE2)));
        return _mm_or_si128(_mm_or_si128(xControl, xDel), _mm_or_si128(xC2, xE2));
    }
#endif
#ifdef CELLSIFT_AVX2_SCANS
    __attribute__((target("avx2"))) static __m256i Stops(__m256i x)
    {
        __m256i xControl =
            _mm256_cmpeq_epi8(_mm256_max_epu8(x, _mm256_set1_epi8(0x1F)), _mm256_set1_epi8(0x1F));
        __m256i xDel = _mm256_cmpeq_epi8(x, _mm256_set1_epi8(0x7F));
        __m256i xC2 = _mm256_cmpeq_epi8(x, _mm256_set1_epi8(static_cast<char>(0xC2)));
        __m256i xE2 = _mm256_cmpeq_epi8(x, _mm256_set1_epi8(static_cast<char>(0xE2)));
        return _mm256_or_si256(_mm256_or_si256(xControl, xDel), _mm256_or_si256(xC2, xE2));
    }
#endif
};

// Control characters, the quote and the backslash.
struct JsonStops {
    static bool FStop(unsigned char b) { return b < 0x20 || b == '"' || b == '\\'; }
#ifdef __SSE2__
    static __m128i Stops(__m128i x)
    {
        __m128i xControl = _mm_cmpeq_epi8(_mm_max_epu8(x, _mm_set1_epi8(0x1F)), _mm_set1_epi8(0x1F));
        __m128i xQuote = _mm_cmpeq_epi8(x, _mm_set1_epi8('"'));
        __m128i xBackslash = _mm_cmpeq_epi8(x, _mm_set1_epi8('\\'));
        return _mm_or_si128(xControl, _mm_or_si128(xQuote, xBackslash));
    }
#endif
#ifdef CELLSIFT_AVX2_SCANS
    __attribute__((target("avx2"))) static __m256i Stops(__m256i x)
    {
        __m256i xControl =
            _mm256_cmpeq_epi8(_mm256_max_epu8(x, _mm256_set1_epi8(0x1F)), _mm256_set1_epi8(0x1F));
        __m256i xQuote = _mm256_cmpeq_epi8(x, _mm256_set1_epi8('"'));
        __m256i xBackslash = _mm256_cmpeq_epi8(x, _mm256_set1_epi8('\\'));
        return _mm256_or_si256(xControl, _mm256_or_si256(xQuote, xBackslash));
    }
#endif
};

// What a CSV field needs looked at: the comma, the quote, CR, LF and the form feed, which
// need quotes, and NUL, which becomes a space.
struct CsvStops {
    static bool FStop(unsigned char b)
    {
        return b == ',' || b == '"' || b == '\r' || b == '\n' || b == '\f' || b == '\0';
    }
#ifdef __SSE2__
    static __m128i Stops(__m128i x)
    {
        __m128i xQuoted = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(',')), _mm_cmpeq_epi8(x, _mm_set1_epi8('"'))),
            _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(x, _mm_set1_epi8('\n'))));
        return _mm_or_si128(xQuoted, _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('\f')),
                                                  _mm_cmpeq_epi8(x, _mm_setzero_si128())));
    }
#endif
#ifdef CELLSIFT_AVX2_SCANS
    __attribute__((target("avx2"))) static __m256i Stops(__m256i x)
    {
        __m256i xQuoted = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(x, _mm256_set1_epi8(',')),
                                                          _mm256_cmpeq_epi8(x, _mm256_set1_epi8('"'))),
                                          _mm256_or_si256(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('\r')),
                                                          _mm256_cmpeq_epi8(x, _mm256_set1_epi8('\n'))));
        return _mm256_or_si256(xQuoted, _mm256_or_si256(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('\f')),
                                                        _mm256_cmpeq_epi8(x, _mm256_setzero_si256())));
    }
#endif
};

#ifdef CELLSIFT_AVX2_SCANS
// The first stop at or after i, or cb. Fewer than 32 bytes left are taken in one block too:
// the last 32 of the text with the bytes before i masked off, or, in a shorter text, a copy
// padded with a byte no form stops at.
template <class Stops>
__attribute__((target("avx2"))) size_t SkipAvx2(const unsigned char *pb, size_t i, size_t cb)
{
    for (; i + 32 <= cb; i += 32) {
        unsigned mStops = static_cast<unsigned>(_mm256_movemask_epi8(
            Stops::Stops(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(pb + i)))));
        if (mStops != 0) {
            return i + static_cast<size_t>(__builtin_ctz(mStops));
        }
    }
    if (i >= cb) {
        return cb;
    }
    size_t ibBlock = cb >= 32 ? cb - 32 : i;
    unsigned char rgbPadded[32];
    const unsigned char *pbBlock = pb + ibBlock;
    if (cb < 32) {
        memset(rgbPadded, 'A', sizeof(rgbPadded));
        memcpy(rgbPadded, pb + i, cb - i);
        pbBlock = rgbPadded;
    }
    unsigned mStops = static_cast<unsigned>(
        _mm256_movemask_epi8(Stops::Stops(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(pbBlock)))));
    // Bits for the bytes before i (the block's start at most 31 bytes back) or past cb.
    mStops &= cb >= 32 ? ~0u << (i - ibBlock) : (1u << (cb - i)) - 1;
    return mStops != 0 ? ibBlock + static_cast<size_t>(__builtin_ctz(mStops)) : cb;
}
#endif

// The first byte at or after i that Stops stops at, or cb.
template <class Stops>
size_t SkipToStop(const unsigned char *pb, size_t i, size_t cb)
{
#ifdef CELLSIFT_AVX2_SCANS
    if (FAvx2Blocks()) {
        return SkipAvx2<Stops>(pb, i, cb);
    }
#endif
#ifdef __SSE2__
    for (; i + 16 <= cb; i += 16) {
        int mStops =
            _mm_movemask_epi8(Stops::Stops(_mm_loadu_si128(reinterpret_cast<const __m128i *>(pb + i))));
        if (mStops != 0) {
            return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mStops)));
        }
    }
#endif
    while (i < cb && !Stops::FStop(pb[i])) {
        i++;
    }
    return i;
}

} // namespace

size_t SkipToLineStop(const unsigned char *pb, size_t i, size_t cb)
{
    return SkipToStop<LineStops>(pb, i, cb);
}

size_t SkipToJsonStop(const unsigned char *pb, size_t i, size_t cb)
{
    return SkipToStop<JsonStops>(pb, i, cb);
}

size_t SkipToCsvStop(const unsigned char *pb, size_t i, size_t cb)
{
    return SkipToStop<CsvStops>(pb, i, cb);
}
