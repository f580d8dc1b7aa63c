// Page headers and footers: the HEADER and FOOTER records, the BIFF8 HEADERFOOTER record's
// first-page and even-page variants, and their text with the field and format codes decoded.
#ifndef CELLSIFT_RECORDTEXT_HEADERFOOTER_H
#define CELLSIFT_RECORDTEXT_HEADERFOOTER_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <string_view>

class CodePageDecoder;

// The text a reader sees of a header or footer as stored ("&LLeft&CPage &P of &N&R&D"):
// the left, centre and right sections in that order, joined by single spaces; the fields as
// words: &P "[page]", &N "[pages]", &D "[date]", &T "[time]", &F "[file]", &Z "[path]",
// &A "[sheet]", &G "[picture]"; font, size, colour and style codes dropped; && as &. Text
// before any section code belongs to the centre, where it is shown.
std::string DecodeHeaderFooter(std::string_view raw);

// The raw text of a HEADER or FOOTER body: empty when the body is (no header). BIFF8 holds
// a unicode string, earlier versions a byte string in the code page. False when the string
// runs past the body (what it holds is still given).
bool ReadHeaderFooterRecord(const uint8_t *pb, size_t cb, bool fBiff8, CodePageDecoder &decoder,
                            std::string *psRaw);

// The variants a BIFF8 HEADERFOOTER record holds, raw. Only the record of the sheet itself
// counts: a custom view keeps one of its own, marked by its view id (fCustomView).
struct HeaderFooterVariants {
    bool fCustomView = false;
    bool fDiffOddEven = false;
    bool fDiffFirst = false;
    std::string headerEven, footerEven, headerFirst, footerFirst;
};

// False when the body is too short for its counts (what it holds is still given).
bool ReadHeaderFooterVariants(const uint8_t *pb, size_t cb, HeaderFooterVariants *pVariants);

#endif
