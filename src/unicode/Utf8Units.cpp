// UTF-8 measured and converted to code units of one width. The text of a large workbook is
// hundreds of megabytes, so both passes take 16 bytes at a time where the processor can.
#include "unicode/Utf8Units.h"

#include "unicode/Utf8Blocks.h"

#ifdef __SSE2__
#include <immintrin.h>
#endif

namespace {

bool IsContinuation(uint8_t b)
{
    return (b & 0xC0) == 0x80;
}

// One unit per byte that starts a sequence, its continuation bytes taken while there are;
// reads nothing past the end, and no 32-bit unit goes past U+10FFFF.
template <class Unit>
size_t ConvertCarefully(const uint8_t *pb, size_t cb, Unit *pUnit)
{
    size_t cUnit = 0;
    size_t ib = 0;
    while (ib < cb) {
        uint8_t b0 = pb[ib++];
        if (b0 < 0x80) {
            pUnit[cUnit++] = b0;
            continue;
        }
        if (IsContinuation(b0)) {
            continue;
        }
        size_t cbTail = b0 < 0xE0 ? 1 : b0 < 0xF0 ? 2 : 3;
        uint32_t w = b0 & (0x3Fu >> cbTail);
        for (; cbTail > 0 && ib < cb && IsContinuation(pb[ib]); --cbTail) {
            w = (w << 6) | (pb[ib++] & 0x3Fu);
        }
        pUnit[cUnit++] = static_cast<Unit>(w <= 0x10FFFF ? w : 0xFFFD);
    }
    return cUnit;
}

#ifdef __SSE2__
// Units of at most 16 bits: each window of 16 bytes gives, at every byte, the value of the
// sequence a lead byte there would start (from the byte and the two after it); the values at
// lead bytes are then kept in order. A value is written at every byte, the next unit's slot
// for a continuation byte, so the windows stop before the text's last lead byte, which fills
// that slot last. Returns the bytes done; *pcUnit receives the units written.
template <class Unit>
size_t ConvertWindows(const uint8_t *pb, size_t cb, Unit *pUnit, size_t *pcUnit)
{
    size_t ibLastLead = cb;
    while (ibLastLead > 0 && IsContinuation(pb[ibLastLead - 1])) {
        --ibLastLead;
    }
    ibLastLead = ibLastLead > 0 ? ibLastLead - 1 : 0;
    const __m128i xZero = _mm_setzero_si128(), xLow6 = _mm_set1_epi16(0x3F);
    size_t cUnit = 0;
    size_t ib = 0;
    for (; ib + 16 <= ibLastLead && ib + 18 <= cb; ib += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pb + ib));
        if (_mm_movemask_epi8(x) == 0) {
            Unit rgUnit[16];
            for (int i = 0; i < 16; i++) {
                rgUnit[i] = pb[ib + i];
            }
            for (int i = 0; i < 16; i++) {
                pUnit[cUnit + i] = rgUnit[i];
            }
            cUnit += 16;
            continue;
        }
        __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pb + ib + 1));
        __m128i z = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pb + ib + 2));
        // Signed bytes: continuation bytes are -128..-65, lead bytes of 2 or more -64..-1,
        // of 3 or more -32..-1.
        __m128i xHigh = _mm_cmplt_epi8(x, xZero);
        __m128i xContinuation = _mm_cmplt_epi8(x, _mm_set1_epi8(-64));
        __m128i xTwo = _mm_andnot_si128(xContinuation, xHigh);
        __m128i xThree = _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(-33)), xHigh);
        unsigned mLead = ~static_cast<unsigned>(_mm_movemask_epi8(xContinuation)) & 0xFFFF;
        uint16_t rgw[16];
        for (int iHalf = 0; iHalf < 2; iHalf++) {
            __m128i x16 = iHalf ? _mm_unpackhi_epi8(x, xZero) : _mm_unpacklo_epi8(x, xZero);
            __m128i y16 =
                _mm_and_si128(iHalf ? _mm_unpackhi_epi8(y, xZero) : _mm_unpacklo_epi8(y, xZero), xLow6);
            __m128i z16 =
                _mm_and_si128(iHalf ? _mm_unpackhi_epi8(z, xZero) : _mm_unpacklo_epi8(z, xZero), xLow6);
            __m128i xTwo16 = iHalf ? _mm_unpackhi_epi8(xTwo, xTwo) : _mm_unpacklo_epi8(xTwo, xTwo);
            __m128i xThree16 = iHalf ? _mm_unpackhi_epi8(xThree, xThree) : _mm_unpacklo_epi8(xThree, xThree);
            __m128i wTwo = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(x16, _mm_set1_epi16(0x1F)), 6), y16);
            __m128i wThree = _mm_or_si128(_mm_or_si128(_mm_slli_epi16(x16, 12), _mm_slli_epi16(y16, 6)), z16);
            __m128i w = _mm_or_si128(_mm_andnot_si128(xTwo16, x16), _mm_and_si128(xTwo16, wTwo));
            w = _mm_or_si128(_mm_andnot_si128(xThree16, w), _mm_and_si128(xThree16, wThree));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(rgw + 8 * iHalf), w);
        }
        // Without branches: where lead bytes fall is what no prediction can follow.
        for (int i = 0; i < 16; i++) {
            pUnit[cUnit] = static_cast<Unit>(rgw[i]);
            cUnit += (mLead >> i) & 1;
        }
    }
    *pcUnit = cUnit;
    return ib;
}

#if defined(__GNUC__) || defined(__clang__)
#define CELLSIFT_AVX2_UNITS 1

// For each set of eight 16-bit lanes, the bytes that bring the kept lanes to the front, in
// order; and for each set of eight bytes, the same for bytes.
struct LaneTables {
    uint8_t rgrgbWide[256][16] = {};
    uint64_t rgqwNarrow[256] = {};
    constexpr LaneTables()
    {
        for (int m = 0; m < 256; m++) {
            int c = 0;
            for (int i = 0; i < 8; i++) {
                if ((m >> i) & 1) {
                    rgrgbWide[m][2 * c] = static_cast<uint8_t>(2 * i);
                    rgrgbWide[m][2 * c + 1] = static_cast<uint8_t>(2 * i + 1);
                    rgqwNarrow[m] |= static_cast<uint64_t>(i) << (8 * c);
                    c++;
                }
            }
        }
    }
};
constexpr LaneTables tableLanes;

// The value a sequence would have at each of the 16 bytes at pb, exactly as ConvertWindows
// forms it, in 16-bit lanes; reads pb[0] to pb[17].
__attribute__((target("avx2"))) inline __m256i WindowValues(const uint8_t *pb)
{
    const __m256i xLow6 = _mm256_set1_epi16(0x3F);
    __m256i x = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(pb)));
    __m256i y = _mm256_and_si256(
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(pb + 1))), xLow6);
    __m256i z = _mm256_and_si256(
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(pb + 2))), xLow6);
    __m256i wTwo = _mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(x, _mm256_set1_epi16(0x1F)), 6), y);
    __m256i wThree = _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi16(x, 12), _mm256_slli_epi16(y, 6)), z);
    __m256i w = _mm256_blendv_epi8(x, wTwo, _mm256_cmpgt_epi16(x, _mm256_set1_epi16(0xBF)));
    return _mm256_blendv_epi8(w, wThree, _mm256_cmpgt_epi16(x, _mm256_set1_epi16(0xDF)));
}

// ConvertWindows with the values at lead bytes kept by a shuffle rather than one store each.
// A window stores 16 units past its first, so the windows also stop 16 units before the last.
template <class Unit>
__attribute__((target("avx2"))) size_t ConvertWindowsAvx2(const uint8_t *pb, size_t cb, size_t cUnits,
                                                          Unit *pUnit, size_t *pcUnit)
{
    size_t ibLastLead = cb;
    while (ibLastLead > 0 && IsContinuation(pb[ibLastLead - 1])) {
        --ibLastLead;
    }
    ibLastLead = ibLastLead > 0 ? ibLastLead - 1 : 0;
    size_t cUnit = 0;
    size_t ib = 0;
    for (; ib + 16 <= ibLastLead && ib + 18 <= cb && cUnit + 16 <= cUnits; ib += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pb + ib));
        unsigned mHigh = static_cast<unsigned>(_mm_movemask_epi8(x));
        if (mHigh == 0) {
            if (sizeof(Unit) == 1) {
                _mm_storeu_si128(reinterpret_cast<__m128i *>(pUnit + cUnit), x);
            } else {
                _mm256_storeu_si256(reinterpret_cast<__m256i *>(pUnit + cUnit), _mm256_cvtepu8_epi16(x));
            }
            cUnit += 16;
            continue;
        }
        unsigned mLead =
            ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(x, _mm_set1_epi8(-64)))) & 0xFFFF;
        unsigned mLow = mLead & 0xFF, mHighHalf = mLead >> 8;
        size_t cLow = static_cast<size_t>(__builtin_popcount(mLow));
        __m256i w = WindowValues(pb + ib);
        if (sizeof(Unit) == 1) {
            // Each unit is the low byte of its value, as a narrowing store would leave it.
            w = _mm256_and_si256(w, _mm256_set1_epi16(0xFF));
            __m128i xBytes = _mm_packus_epi16(_mm256_castsi256_si128(w), _mm256_extracti128_si256(w, 1));
            __m128i xKeep = _mm_set_epi64x(
                static_cast<long long>(tableLanes.rgqwNarrow[mHighHalf] + 0x0808080808080808ull),
                static_cast<long long>(tableLanes.rgqwNarrow[mLow]));
            __m128i xOut = _mm_shuffle_epi8(xBytes, xKeep);
            _mm_storel_epi64(reinterpret_cast<__m128i *>(pUnit + cUnit), xOut);
            _mm_storel_epi64(reinterpret_cast<__m128i *>(pUnit + cUnit + cLow), _mm_srli_si128(xOut, 8));
        } else {
            __m256i xKeep = _mm256_inserti128_si256(
                _mm256_castsi128_si256(
                    _mm_loadu_si128(reinterpret_cast<const __m128i *>(tableLanes.rgrgbWide[mLow]))),
                _mm_loadu_si128(reinterpret_cast<const __m128i *>(tableLanes.rgrgbWide[mHighHalf])), 1);
            __m256i xOut = _mm256_shuffle_epi8(w, xKeep);
            _mm_storeu_si128(reinterpret_cast<__m128i *>(pUnit + cUnit), _mm256_castsi256_si128(xOut));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(pUnit + cUnit + cLow),
                             _mm256_extracti128_si256(xOut, 1));
        }
        cUnit += cLow + static_cast<size_t>(__builtin_popcount(mHighHalf));
    }
    *pcUnit = cUnit;
    return ib;
}
#endif
#endif

template <class Unit>
void ConvertUtf8(const char *pch, size_t cb, size_t cUnits, Unit *pUnit)
{
    const uint8_t *pb = reinterpret_cast<const uint8_t *>(pch);
    const uint8_t *pbEnd = pb + cb;
#ifdef __SSE2__
    if (sizeof(Unit) <= 2) {
        size_t cUnit;
#ifdef CELLSIFT_AVX2_UNITS
        if (FAvx2Blocks()) {
            pb += ConvertWindowsAvx2(pb, cb, cUnits, pUnit, &cUnit);
            pUnit += cUnit;
        }
#endif
        pb += ConvertWindows(pb, static_cast<size_t>(pbEnd - pb), pUnit, &cUnit);
        pUnit += cUnit;
    }
#endif
    (void)cUnits;
    // Continuation bytes where the windows stopped belong to a unit already written.
    ConvertCarefully(pb, static_cast<size_t>(pbEnd - pb), pUnit);
}

} // namespace

bool MeasureUtf8(const char *pch, size_t cb, size_t *pcch, uint32_t *pwMax)
{
    const uint8_t *pb = reinterpret_cast<const uint8_t *>(pch);
    size_t cContinuation = 0;
    uint8_t bMax = 0;
    bool fOverlongLead = false;
    size_t ib = 0;
#ifdef __SSE2__
    __m128i xMax = _mm_setzero_si128(), xOverlong = _mm_setzero_si128();
    while (ib + 16 <= cb) {
        // Byte counters, summed before any of them can pass 255.
        __m128i xCount = _mm_setzero_si128();
        for (int i = 0; i < 255 && ib + 16 <= cb; i++, ib += 16) {
            __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pb + ib));
            xCount = _mm_sub_epi8(xCount, _mm_cmplt_epi8(x, _mm_set1_epi8(-64)));
            xMax = _mm_max_epu8(xMax, x);
            xOverlong = _mm_or_si128(xOverlong,
                                     _mm_cmpeq_epi8(_mm_and_si128(x, _mm_set1_epi8(static_cast<char>(0xFE))),
                                                    _mm_set1_epi8(static_cast<char>(0xC0))));
        }
        __m128i xSum = _mm_sad_epu8(xCount, _mm_setzero_si128());
        cContinuation += static_cast<size_t>(_mm_cvtsi128_si32(xSum)) +
                         static_cast<size_t>(_mm_cvtsi128_si32(_mm_srli_si128(xSum, 8)));
    }
    uint8_t rgbMax[16];
    _mm_storeu_si128(reinterpret_cast<__m128i *>(rgbMax), xMax);
    for (uint8_t b : rgbMax) {
        bMax = b > bMax ? b : bMax;
    }
    fOverlongLead = _mm_movemask_epi8(xOverlong) != 0;
#endif
    for (; ib < cb; ib++) {
        uint8_t b = pb[ib];
        cContinuation += IsContinuation(b);
        bMax = b > bMax ? b : bMax;
        fOverlongLead |= (b & 0xFE) == 0xC0;
    }
    if (fOverlongLead || bMax >= 0xF5) {
        return false;
    }
    *pcch = cb - cContinuation;
    *pwMax = bMax < 0x80 ? 0x7F : bMax < 0xC4 ? 0xFF : bMax < 0xF0 ? 0xFFFF : 0x10FFFF;
    return true;
}

void Utf8ToUnits(const char *pch, size_t cb, size_t cUnits, uint8_t *pUnit)
{
    ConvertUtf8(pch, cb, cUnits, pUnit);
}
void Utf8ToUnits(const char *pch, size_t cb, size_t cUnits, uint16_t *pUnit)
{
    ConvertUtf8(pch, cb, cUnits, pUnit);
}
void Utf8ToUnits(const char *pch, size_t cb, size_t cUnits, uint32_t *pUnit)
{
    ConvertUtf8(pch, cb, cUnits, pUnit);
}
