// Blocks of UTF-16LE units and Latin-1 bytes below U+0800 turned into UTF-8 sixteen at a time.
// Most workbook text is ASCII, so every block is first tried as ASCII, which is only a pack.
#include "unicode/Utf8Blocks.h"

#include <string.h>

#ifdef __SSE2__
#include <immintrin.h>
#endif

#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#define CELLSIFT_AVX2_BLOCKS 1
#endif

namespace {

#ifdef __SSE2__
const int cbStore = 16;

// Eight units from U+0080 to U+07FF as two bytes each, the lead byte in each lane's low half.
inline __m128i TwoByteForms(__m128i xUnits)
{
    __m128i xLead = _mm_or_si128(_mm_srli_epi16(xUnits, 6), _mm_set1_epi16(0xC0));
    __m128i xTrail = _mm_or_si128(_mm_and_si128(xUnits, _mm_set1_epi16(0x3F)), _mm_set1_epi16(0x80));
    return _mm_or_si128(xLead, _mm_slli_epi16(xTrail, 8));
}

// SSE2 has no byte shuffle, so a block that mixes ASCII with two-byte characters is left to
// the caller's scalar loop; blocks wholly of either kind are done here.
size_t Utf16Sse2(const uint8_t *pb, size_t cUnits, char *pch, size_t cchRoom, size_t *pcch)
{
    const __m128i xZero = _mm_setzero_si128();
    size_t i = 0, ich = 0;
    for (; i + 8 <= cUnits && ich + cbStore <= cchRoom; i += 8) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pb + 2 * i));
        __m128i xAscii = _mm_cmpeq_epi16(_mm_and_si128(x, _mm_set1_epi16(static_cast<short>(0xFF80))), xZero);
        int mAscii = _mm_movemask_epi8(xAscii);
        if (mAscii == 0xFFFF) {
            _mm_storel_epi64(reinterpret_cast<__m128i *>(pch + ich), _mm_packus_epi16(x, x));
            ich += 8;
            continue;
        }
        __m128i xSmall = _mm_cmpeq_epi16(_mm_and_si128(x, _mm_set1_epi16(static_cast<short>(0xF800))), xZero);
        if (mAscii != 0 || _mm_movemask_epi8(xSmall) != 0xFFFF) {
            break;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i *>(pch + ich), TwoByteForms(x));
        ich += 16;
    }
    *pcch = ich;
    return i;
}

size_t Latin1Sse2(const uint8_t *pb, size_t cb, char *pch, size_t cchRoom, size_t *pcch)
{
    size_t i = 0;
    for (; i + 16 <= cb && i + cbStore <= cchRoom; i += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pb + i));
        if (_mm_movemask_epi8(x) != 0) {
            break;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i *>(pch + i), x);
    }
    *pcch = i;
    return i;
}

size_t AsciiPrefixSse2(const uint8_t *pb, size_t cb)
{
    size_t i = 0;
    for (; i + 16 <= cb; i += 16) {
        if (_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(pb + i))) != 0) {
            break;
        }
    }
    while (i < cb && pb[i] < 0x80) {
        i++;
    }
    return i;
}
#endif

#ifdef CELLSIFT_AVX2_BLOCKS
// For each set of eight units' ASCII flags (bit k for unit k), which bytes of their two-byte
// forms are kept, in order (0x80 clears the rest), and how many.
struct CompactTable {
    uint8_t rgrgbKeep[256][16];
    uint8_t rgcbKeep[256];
    constexpr CompactTable() : rgrgbKeep(), rgcbKeep()
    {
        for (int m = 0; m < 256; m++) {
            int cb = 0;
            for (int k = 0; k < 8; k++) {
                rgrgbKeep[m][cb++] = static_cast<uint8_t>(2 * k);
                if (((m >> k) & 1) == 0) {
                    rgrgbKeep[m][cb++] = static_cast<uint8_t>(2 * k + 1);
                }
            }
            rgcbKeep[m] = static_cast<uint8_t>(cb);
            for (; cb < 16; cb++) {
                rgrgbKeep[m][cb] = 0x80;
            }
        }
    }
};
constexpr CompactTable tableCompact;

// Sixteen units below U+0800 (a word of Cyrillic and its spaces, accented Latin): each as one
// byte or two, each 128-bit half packed through the table. Writes up to 32 bytes; returns the
// bytes that are the text.
__attribute__((target("avx2"))) inline size_t StoreSmallUnits(__m256i x, char *pch)
{
    __m256i xAscii = _mm256_cmpeq_epi16(_mm256_and_si256(x, _mm256_set1_epi16(static_cast<short>(0xFF80))),
                                        _mm256_setzero_si256());
    __m256i xLead = _mm256_or_si256(_mm256_srli_epi16(x, 6), _mm256_set1_epi16(0xC0));
    __m256i xTrail = _mm256_or_si256(_mm256_and_si256(x, _mm256_set1_epi16(0x3F)), _mm256_set1_epi16(0x80));
    __m256i xForms = _mm256_blendv_epi8(_mm256_or_si256(xLead, _mm256_slli_epi16(xTrail, 8)), x, xAscii);
    unsigned mAscii = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_packs_epi16(xAscii, xAscii)));
    unsigned mLow = mAscii & 0xFF, mHigh = (mAscii >> 16) & 0xFF;
    __m256i xKeep = _mm256_inserti128_si256(
        _mm256_castsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i *>(tableCompact.rgrgbKeep[mLow]))),
        _mm_loadu_si128(reinterpret_cast<const __m128i *>(tableCompact.rgrgbKeep[mHigh])), 1);
    __m256i xOut = _mm256_shuffle_epi8(xForms, xKeep);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(pch), _mm256_castsi256_si128(xOut));
    size_t cchLow = tableCompact.rgcbKeep[mLow];
    _mm_storeu_si128(reinterpret_cast<__m128i *>(pch + cchLow), _mm256_extracti128_si256(xOut, 1));
    return cchLow + tableCompact.rgcbKeep[mHigh];
}

__attribute__((target("avx2"))) size_t Utf16Avx2(const uint8_t *pb, size_t cUnits, char *pch, size_t cchRoom,
                                                 size_t *pcch)
{
    const __m256i xNotAscii = _mm256_set1_epi16(static_cast<short>(0xFF80)),
                  xNotSmall = _mm256_set1_epi16(static_cast<short>(0xF800));
    size_t i = 0, ich = 0;
    for (; i + 16 <= cUnits && ich + 32 <= cchRoom; i += 16) {
        __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(pb + 2 * i));
        if (_mm256_testz_si256(x, xNotAscii)) {
            // packus packs within each half; the two halves' first quadwords are the text.
            __m256i xPacked = _mm256_permute4x64_epi64(_mm256_packus_epi16(x, x), 0xD8);
            _mm_storeu_si128(reinterpret_cast<__m128i *>(pch + ich), _mm256_castsi256_si128(xPacked));
            ich += 16;
            continue;
        }
        if (!_mm256_testz_si256(x, xNotSmall)) {
            break;
        }
        ich += StoreSmallUnits(x, pch + ich);
    }
    // The last units, fewer than a block: padded with zeros, which come out last, one byte
    // each, and are not counted.
    size_t cLeft = cUnits - i;
    if (cLeft > 0 && cLeft < 16 && ich + 32 <= cchRoom) {
        uint16_t rgwTail[16] = {};
        memcpy(rgwTail, pb + 2 * i, 2 * cLeft);
        __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(rgwTail));
        if (_mm256_testz_si256(x, xNotSmall)) {
            ich += StoreSmallUnits(x, pch + ich) - (16 - cLeft);
            i = cUnits;
        }
    }
    *pcch = ich;
    return i;
}

__attribute__((target("avx2"))) size_t Latin1Avx2(const uint8_t *pb, size_t cb, char *pch, size_t cchRoom,
                                                  size_t *pcch)
{
    size_t i = 0, ich = 0;
    while (i + 16 <= cb && ich + 32 <= cchRoom) {
        if (i + 32 <= cb) {
            __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(pb + i));
            if (_mm256_movemask_epi8(y) == 0) {
                _mm256_storeu_si256(reinterpret_cast<__m256i *>(pch + ich), y);
                i += 32;
                ich += 32;
                continue;
            }
        }
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pb + i));
        ich += StoreSmallUnits(_mm256_cvtepu8_epi16(x), pch + ich);
        i += 16;
    }
    // The last bytes as the last units of Utf16Avx2 are.
    size_t cbLeft = cb - i;
    if (cbLeft > 0 && cbLeft < 16 && ich + 32 <= cchRoom) {
        uint8_t rgbTail[16] = {};
        memcpy(rgbTail, pb + i, cbLeft);
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(rgbTail));
        ich += StoreSmallUnits(_mm256_cvtepu8_epi16(x), pch + ich) - (16 - cbLeft);
        i = cb;
    }
    *pcch = ich;
    return i;
}

__attribute__((target("avx2"))) size_t AsciiPrefixAvx2(const uint8_t *pb, size_t cb)
{
    size_t i = 0;
    for (; i + 32 <= cb; i += 32) {
        if (_mm256_movemask_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(pb + i))) != 0) {
            break;
        }
    }
    return i + AsciiPrefixSse2(pb + i, cb - i);
}

bool FAvx2Present()
{
    // Called while static objects are made, which may be before the library's own setup.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
#endif

#ifndef __SSE2__
// Without vector instructions the caller's loops do everything.
size_t Utf16None(const uint8_t *, size_t, char *, size_t, size_t *pcch)
{
    *pcch = 0;
    return 0;
}

size_t Latin1None(const uint8_t *, size_t, char *, size_t, size_t *pcch)
{
    *pcch = 0;
    return 0;
}

size_t AsciiPrefixBytes(const uint8_t *pb, size_t cb)
{
    size_t i = 0;
    while (i < cb && pb[i] < 0x80) {
        i++;
    }
    return i;
}
#endif

// One set of forms, chosen once.
struct BlockForms {
    size_t (*pfnUtf16)(const uint8_t *, size_t, char *, size_t, size_t *);
    size_t (*pfnLatin1)(const uint8_t *, size_t, char *, size_t, size_t *);
    size_t (*pfnAsciiPrefix)(const uint8_t *, size_t);
};
#ifdef __SSE2__
const BlockForms formsBase = {Utf16Sse2, Latin1Sse2, AsciiPrefixSse2};
#else
const BlockForms formsBase = {Utf16None, Latin1None, AsciiPrefixBytes};
#endif
#ifdef CELLSIFT_AVX2_BLOCKS
const BlockForms formsAvx2 = {Utf16Avx2, Latin1Avx2, AsciiPrefixAvx2};
const BlockForms *g_pForms = FAvx2Present() ? &formsAvx2 : &formsBase;
#else
const BlockForms *g_pForms = &formsBase;
#endif

} // namespace

size_t Utf16BlocksToUtf8(const uint8_t *pb, size_t cUnits, char *pch, size_t cchRoom, size_t *pcch)
{
    return g_pForms->pfnUtf16(pb, cUnits, pch, cchRoom, pcch);
}

size_t Latin1BlocksToUtf8(const uint8_t *pb, size_t cb, char *pch, size_t cchRoom, size_t *pcch)
{
    return g_pForms->pfnLatin1(pb, cb, pch, cchRoom, pcch);
}

size_t CbAsciiPrefix(const uint8_t *pb, size_t cb)
{
    return g_pForms->pfnAsciiPrefix(pb, cb);
}

bool FAvx2Blocks()
{
#ifdef CELLSIFT_AVX2_BLOCKS
    return g_pForms == &formsAvx2;
#else
    return false;
#endif
}

bool UseAvx2Blocks(bool fWant)
{
#ifdef CELLSIFT_AVX2_BLOCKS
    g_pForms = fWant && FAvx2Present() ? &formsAvx2 : &formsBase;
#else
    (void)fWant;
#endif
    return FAvx2Blocks();
}
