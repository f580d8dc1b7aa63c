// UTF-8 measured and converted to code units of one width. The text of a large workbook is
// hundreds of megabytes, so both passes take 16 bytes at a time where the processor can.
#include "workbook/Utf8Units.h"

#ifdef __SSE2__
#include <emmintrin.h>
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
        if (IsContinuation(b0))
            continue;
        size_t cbTail = b0 < 0xE0 ? 1 : b0 < 0xF0 ? 2 : 3;
        uint32_t w = b0 & (0x3Fu >> cbTail);
        for (; cbTail > 0 && ib < cb && IsContinuation(pb[ib]); --cbTail)
            w = (w << 6) | (pb[ib++] & 0x3Fu);
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
    while (ibLastLead > 0 && IsContinuation(pb[ibLastLead - 1]))
        --ibLastLead;
    ibLastLead = ibLastLead > 0 ? ibLastLead - 1 : 0;
    const __m128i xZero = _mm_setzero_si128(), xLow6 = _mm_set1_epi16(0x3F);
    size_t cUnit = 0;
    size_t ib = 0;
    for (; ib + 16 <= ibLastLead && ib + 18 <= cb; ib += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pb + ib));
        if (_mm_movemask_epi8(x) == 0) {
            Unit rgUnit[16];
            for (int i = 0; i < 16; i++)
                rgUnit[i] = pb[ib + i];
            for (int i = 0; i < 16; i++)
                pUnit[cUnit + i] = rgUnit[i];
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
#endif

template <class Unit>
void ConvertUtf8(const char *pch, size_t cb, Unit *pUnit)
{
    const uint8_t *pb = reinterpret_cast<const uint8_t *>(pch);
    size_t ib = 0;
#ifdef __SSE2__
    if (sizeof(Unit) <= 2) {
        size_t cUnit;
        ib = ConvertWindows(pb, cb, pUnit, &cUnit);
        pUnit += cUnit;
    }
#endif
    // Continuation bytes where the windows stopped belong to a unit already written.
    ConvertCarefully(pb + ib, cb - ib, pUnit);
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
            xOverlong = _mm_or_si128(xOverlong, _mm_cmpeq_epi8(_mm_and_si128(x, _mm_set1_epi8((char)0xFE)),
                                                               _mm_set1_epi8((char)0xC0)));
        }
        __m128i xSum = _mm_sad_epu8(xCount, _mm_setzero_si128());
        cContinuation += static_cast<size_t>(_mm_cvtsi128_si32(xSum)) +
                         static_cast<size_t>(_mm_cvtsi128_si32(_mm_srli_si128(xSum, 8)));
    }
    uint8_t rgbMax[16];
    _mm_storeu_si128(reinterpret_cast<__m128i *>(rgbMax), xMax);
    for (uint8_t b : rgbMax)
        bMax = b > bMax ? b : bMax;
    fOverlongLead = _mm_movemask_epi8(xOverlong) != 0;
#endif
    for (; ib < cb; ib++) {
        uint8_t b = pb[ib];
        cContinuation += IsContinuation(b);
        bMax = b > bMax ? b : bMax;
        fOverlongLead |= (b & 0xFE) == 0xC0;
    }
    if (fOverlongLead || bMax >= 0xF5)
        return false;
    *pcch = cb - cContinuation;
    *pwMax = bMax < 0x80 ? 0x7F : bMax < 0xC4 ? 0xFF : bMax < 0xF0 ? 0xFFFF : 0x10FFFF;
    return true;
}

void Utf8ToUnits(const char *pch, size_t cb, uint8_t *pUnit)
{
    ConvertUtf8(pch, cb, pUnit);
}
void Utf8ToUnits(const char *pch, size_t cb, uint16_t *pUnit)
{
    ConvertUtf8(pch, cb, pUnit);
}
void Utf8ToUnits(const char *pch, size_t cb, uint32_t *pUnit)
{
    ConvertUtf8(pch, cb, pUnit);
}
