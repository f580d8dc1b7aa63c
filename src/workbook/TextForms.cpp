// The pieces every written form is made of: cell names, text kept on one line, JSON strings.
// Escaping runs over long texts, so plain runs are found several bytes at a time.
#include "workbook/TextForms.h"

#include <stdio.h>
#include <string.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Column letters as spreadsheet programs show them: A ... Z, AA ...
std::string CellName(uint32_t row, uint32_t col)
{
    std::string name;
    for (uint32_t n = col + 1; n > 0; n = (n - 1) / 26)
        name.insert(name.begin(), (char)('A' + (n - 1) % 26));
    return name + std::to_string(row + 1);
}

// Text on one line: tabs, line breaks and other control characters become spaces.
void AppendOneLine(std::string_view text, std::string *ps)
{
    size_t ibStart = ps->size();
    ps->append(text.data(), text.size());
    unsigned char *pb = reinterpret_cast<unsigned char *>(&(*ps)[ibStart]);
    for (size_t i = 0; i < text.size(); i++)
        pb[i] = pb[i] < 0x20 ? ' ' : pb[i];
}

namespace {

// True when one of the 8 bytes is a control character, a quote or a backslash: the usual
// test for a byte below n, (x - n) & ~x & high, applied to x, and to x with '"' and '\\'
// made zero.
bool NeedsEscape8(uint64_t qw)
{
    const uint64_t qwOnes = 0x0101010101010101ull, qwHigh = 0x8080808080808080ull;
    uint64_t qwQuote = qw ^ (qwOnes * '"'), qwBackslash = qw ^ (qwOnes * '\\');
    return (((qw - qwOnes * 0x20) & ~qw) | ((qwQuote - qwOnes) & ~qwQuote) |
            ((qwBackslash - qwOnes) & ~qwBackslash)) &
           qwHigh;
}

} // namespace

void AppendJsonString(std::string_view text, std::string *ps)
{
    ps->push_back('"');
    size_t ibPlain = 0; // start of the run of characters that need no escape
    for (size_t i = 0; i < text.size(); i++) {
#ifdef __SSE2__
        if (i + 16 <= text.size()) {
            __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + i));
            __m128i xControl = _mm_cmpeq_epi8(_mm_max_epu8(x, _mm_set1_epi8(0x1F)), _mm_set1_epi8(0x1F));
            __m128i xQuote = _mm_cmpeq_epi8(x, _mm_set1_epi8('"'));
            __m128i xBackslash = _mm_cmpeq_epi8(x, _mm_set1_epi8('\\'));
            if (_mm_movemask_epi8(_mm_or_si128(xControl, _mm_or_si128(xQuote, xBackslash))) == 0) {
                i += 15;
                continue;
            }
        }
#endif
        uint64_t qw;
        if (i + 8 <= text.size()) {
            memcpy(&qw, text.data() + i, 8);
            if (!NeedsEscape8(qw)) {
                i += 7;
                continue;
            }
        }
        unsigned char b = (unsigned char)text[i];
        if (b >= 0x20 && b != '"' && b != '\\')
            continue;
        ps->append(text.data() + ibPlain, i - ibPlain);
        ibPlain = i + 1;
        if (b == '"' || b == '\\') {
            ps->push_back('\\');
            ps->push_back((char)b);
        } else if (b == '\n') {
            ps->append("\\n");
        } else if (b == '\r') {
            ps->append("\\r");
        } else if (b == '\t') {
            ps->append("\\t");
        } else if (b < 0x20) {
            char rgch[8];
            snprintf(rgch, sizeof(rgch), "\\u%04x", b);
            ps->append(rgch);
        }
    }
    ps->append(text.data() + ibPlain, text.size() - ibPlain);
    ps->push_back('"');
}
