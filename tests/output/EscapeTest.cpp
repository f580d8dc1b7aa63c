// The escaping of the written forms against plain byte-by-byte references: every character
// that needs an escape at the edges of the 16- and 32-byte blocks the scans take at a time,
// with the AVX2 scans and with SSE2 alone.
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <string_view>
#include <vector>

#include "output/OutputEscape.h"
#include "support/Avx2Param.h"
#include "unicode/Utf8Blocks.h"

namespace {

// The references: what each form makes of one byte, or of the text as a whole (CSV).

std::string JsonReference(std::string_view text)
{
    std::string s = "\"";
    for (unsigned char b : text) {
        char rgch[8];
        if (b == '"' || b == '\\') {
            snprintf(rgch, sizeof(rgch), "\\%c", b);
        } else if (b == '\n' || b == '\r' || b == '\t') {
            snprintf(rgch, sizeof(rgch), "\\%c", b == '\n' ? 'n' : b == '\r' ? 'r' : 't');
        } else if (b < 0x20) {
            snprintf(rgch, sizeof(rgch), "\\u%04x", b);
        } else {
            snprintf(rgch, sizeof(rgch), "%c", b);
        }
        s += rgch;
    }
    return s + "\"";
}

std::string CsvReference(std::string_view text)
{
    bool fQuote = false;
    std::string inner;
    for (char ch : text) {
        fQuote = fQuote || ch == ',' || ch == '"' || ch == '\r' || ch == '\n' || ch == '\f';
        inner += ch == '"' ? std::string("\"\"") : std::string(1, ch == '\0' ? ' ' : ch);
    }
    return fQuote ? "\"" + inner + "\"" : inner;
}

std::string HtmlReference(std::string_view text)
{
    std::string s;
    for (unsigned char b : text) {
        const char *psz = b == '&'   ? "&amp;"
                          : b == '<' ? "&lt;"
                          : b == '>' ? "&gt;"
                          : b == '"' ? "&quot;"
                                     : nullptr;
        if (psz != nullptr) {
            s += psz;
        } else {
            s += b < 0x20 && b != '\n' && b != '\t' ? ' ' : (char)b;
        }
    }
    return s;
}

// C0, DEL, C1 (C2 80..9F) and U+2028, U+2029 (E2 80 A8/A9) each one space.
std::string OneLineReference(std::string_view text)
{
    std::string s;
    for (size_t i = 0; i < text.size(); i++) {
        unsigned char b = text[i];
        unsigned char b1 = i + 1 < text.size() ? text[i + 1] : 0, b2 = i + 2 < text.size() ? text[i + 2] : 0;
        if (b < 0x20 || b == 0x7F) {
            s += ' ';
        } else if (b == 0xC2 && b1 >= 0x80 && b1 <= 0x9F) {
            s += ' ';
            i += 1;
        } else if (b == 0xE2 && b1 == 0x80 && (b2 == 0xA8 || b2 == 0xA9)) {
            s += ' ';
            i += 2;
        } else {
            s += (char)b;
        }
    }
    return s;
}

// The escape under test, as a function of the text like the references.
template <void (*pfnAppend)(std::string_view, std::string *)>
std::string Escaped(std::string_view text)
{
    std::string s;
    pfnAppend(text, &s);
    return s;
}

struct Form {
    const char *szName;
    std::string (*pfnEscape)(std::string_view);
    std::string (*pfnReference)(std::string_view);
    // What needs a change in this form, and bytes beside them that need none.
    std::vector<std::string> special;
};

const std::vector<Form> &Forms()
{
    static const std::vector<Form> rgForm = {
        {"json",
         Escaped<AppendJsonString>,
         JsonReference,
         {"\"", "\\", "\n", "\r", "\t", std::string(1, '\0'), "\x01", "\x1F"}},
        {"csv", Escaped<AppendCsvField>, CsvReference, {",", "\"", "\r", "\n", "\f", std::string(1, '\0')}},
        {"html",
         Escaped<AppendHtml>,
         HtmlReference,
         {"&", "<", ">", "\"", "\x01", "\x1F", std::string(1, '\0')}},
        {"one line",
         Escaped<AppendOneLine>,
         OneLineReference,
         {"\x01", "\t", "\n", "\x1F", "\x7F", "\xC2\x80", "\xC2\x9F", "\xE2\x80\xA8", "\xE2\x80\xA9"}},
    };
    return rgForm;
}

// Lengths around the 16- and 32-byte blocks and the places in them where a block starts or ends.
const size_t rgcb[] = {0, 1, 7, 8, 9, 15, 16, 17, 31, 32, 33, 47, 48, 63, 64, 65};
const size_t rgib[] = {0, 6, 7, 8, 9, 14, 15, 16, 17, 23, 24, 30, 31, 32, 33, 47, 48, 63, 64};

class OutputEscape : public Avx2OrSse2 {};

TEST_P(OutputEscape, EveryFormAtTheEdgesOfTheBlocks)
{
    for (const Form &form : Forms()) {
        for (size_t cb : rgcb) {
            std::string plain(cb, 'a');
            EXPECT_EQ(form.pfnEscape(plain), form.pfnReference(plain)) << form.szName << " " << cb;
            for (const std::string &special : form.special) {
                std::vector<size_t> places(std::begin(rgib), std::end(rgib));
                places.push_back(cb - 1); // the last byte
                for (size_t ib : places) {
                    if (cb == 0 || ib >= cb) {
                        continue;
                    }
                    std::string text = plain.substr(0, ib) + special + plain.substr(ib + 1);
                    std::string got = form.pfnEscape(text);
                    EXPECT_EQ(got, form.pfnReference(text))
                        << form.szName << " length " << cb << " at " << ib;
                    EXPECT_NE(got, form.pfnEscape(plain.substr(0, ib) + "a" + plain.substr(ib + 1)))
                        << form.szName << ": the escape was lost";
                }
            }
        }
    }
}

// Characters of two, three and four bytes across a block's end stay whole, or become one
// space whole when they are control characters.
TEST_P(OutputEscape, MultiByteCharactersAcrossBlocks)
{
    const char *const rgszChar[] = {"\xC3\xA9",         "\xD0\x96",    "\xE2\x82\xAC", "\xE2\x80\xA8",
                                    "\xE2\x80\xA6",     "\xC2\x85",    "\xC2\xA0",     "\xF0\x9F\x98\x80",
                                    "\xE2\x80\xA9\x22", "\xC2\x9F\x5C"};
    for (const Form &form : Forms()) {
        for (const char *pszChar : rgszChar) {
            for (size_t ib = 4; ib <= 66; ib++) {
                for (size_t cbAfter : {0, 1, 9, 20}) {
                    std::string text = std::string(ib, 'x') + pszChar + std::string(cbAfter, 'y');
                    EXPECT_EQ(form.pfnEscape(text), form.pfnReference(text))
                        << form.szName << " at " << ib << " then " << cbAfter;
                }
            }
        }
    }
}

// Strings drawn from the bytes the scans test for and their neighbours, compared whole: a
// fault of a block's mask shows wherever the byte falls.
TEST_P(OutputEscape, DrawnStringsEqualTheReferences)
{
    const unsigned char rgb[] = {'a',  ' ',  '!',  '#',  '"',  '\\', '[',  ']',  ',',  '&',  '<',
                                 '>',  0x00, 0x01, 0x09, 0x0A, 0x0C, 0x0D, 0x1F, 0x20, 0x7F, 0x80,
                                 0x85, 0x9F, 0xA0, 0xA2, 0xA8, 0xA9, 0xAC, 0xC2, 0xDC, 0xE2, 0xFF};
    uint32_t nState = 12345;
    for (int iString = 0; iString < 3000; iString++) {
        nState = nState * 1103515245u + 12345u;
        size_t cb = (nState >> 16) % 140;
        std::string text;
        for (size_t i = 0; i < cb; i++) {
            nState = nState * 1103515245u + 12345u;
            // Mostly plain, so that whole blocks pass the fast path between the rare bytes.
            size_t iByte = (nState >> 16) % (4 * sizeof(rgb));
            text += (char)(iByte < sizeof(rgb) ? rgb[iByte] : 'a' + iByte % 26);
        }
        for (const Form &form : Forms()) {
            EXPECT_EQ(form.pfnEscape(text), form.pfnReference(text)) << form.szName << " string " << iString;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Scans, OutputEscape, testing::Bool(), Avx2OrSse2Name);

} // namespace
