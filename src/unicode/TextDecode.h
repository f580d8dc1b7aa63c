// Workbook text as UTF-8, in two halves: Utf8Writer decodes UTF-16LE and Latin-1 itself;
// CodePageDecoder hands code-page bytes (older workbooks, property sets) to the system's iconv.
#ifndef CELLSIFT_UNICODE_TEXTDECODE_H
#define CELLSIFT_UNICODE_TEXTDECODE_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// Appends to *ps. A surrogate pair may be split between two calls (a string cut at a record
// boundary); a lone surrogate becomes U+FFFD.
class Utf8Writer {
public:
    explicit Utf8Writer(std::string *ps) : m_ps(ps), m_wHigh(0) {}
    void AppendUtf16Le(const uint8_t *pb, size_t cUnits);
    void AppendLatin1(const uint8_t *pb, size_t cb);
    // Ends the text: a high surrogate still waiting for its pair becomes U+FFFD.
    void Finish();

private:
    std::string *m_ps;
    uint16_t m_wHigh;
};

// Decodes the byte strings of a BIFF2-7 workbook. Holds an iconv descriptor of its own, so
// each workbook read needs its own decoder.
class CodePageDecoder {
public:
    CodePageDecoder();
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder &) = delete;
    CodePageDecoder &operator=(const CodePageDecoder &) = delete;

    // Switches to nCodePage (a CODEPAGE record's value). False when the system cannot convert
    // from it; the decoder then stays on Windows-1252.
    bool SetCodePage(int nCodePage);
    // Appends the UTF-8 form of cb bytes; bytes the code page does not define become U+FFFD.
    void Append(const uint8_t *pb, size_t cb, std::string *ps);

private:
    void *m_cd; // iconv_t, kept opaque here; the thread's, shared with its other decoders
    bool m_fUtf16;
};

#endif
