// Letter case folded through the C library's UTF-8 locale, read once and never made the
// process's own, so numbers are still written with the C locale's point.
#include "output/CaseFold.h"

#include <locale.h>
#include <wctype.h>

#include "output/OutputEscape.h"

namespace {

// The Unicode tables; without them (a system with no C.UTF-8) only ASCII letters fold.
locale_t Utf8Locale()
{
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

uint32_t Decode(const unsigned char *pb, size_t cbSeq)
{
    static const unsigned char rgbLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    uint32_t ch = pb[0] & rgbLeadMask[cbSeq];
    for (size_t i = 1; i < cbSeq; i++) {
        ch = (ch << 6) | (pb[i] & 0x3F);
    }
    return ch;
}

void Encode(uint32_t ch, std::string *ps)
{
    if (ch < 0x80) {
        ps->push_back(static_cast<char>(ch));
        return;
    }
    int cTrail = ch < 0x800 ? 1 : ch < 0x10000 ? 2 : 3;
    static const unsigned char rgbLead[] = {0, 0xC0, 0xE0, 0xF0};
    ps->push_back(static_cast<char>(rgbLead[cTrail] | (ch >> (6 * cTrail))));
    for (int i = cTrail - 1; i >= 0; i--) {
        ps->push_back(static_cast<char>(0x80 | ((ch >> (6 * i)) & 0x3F)));
    }
}

uint32_t Fold(uint32_t ch, locale_t locale)
{
    if (locale == static_cast<locale_t>(0)) {
        return ch >= 'A' && ch <= 'Z' ? ch + ('a' - 'A') : ch;
    }
    wint_t chFolded = towlower_l(towupper_l(static_cast<wint_t>(ch), locale), locale);
    // A table that maps a character outside Unicode, or onto a surrogate, is not taken at its word.
    return chFolded <= 0x10FFFF && (chFolded < 0xD800 || chFolded > 0xDFFF) ? static_cast<uint32_t>(chFolded)
                                                                            : ch;
}

} // namespace

std::string FoldCase(std::string_view text)
{
    locale_t locale = Utf8Locale();
    const unsigned char *pb = reinterpret_cast<const unsigned char *>(text.data());
    std::string folded;
    folded.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        size_t cbSeq = Utf8SequenceLength(pb + i, text.size() - i);
        if (cbSeq == 0) {
            folded.push_back(text[i++]);
            continue;
        }
        Encode(Fold(Decode(pb + i, cbSeq), locale), &folded);
        i += cbSeq;
    }
    return folded;
}
