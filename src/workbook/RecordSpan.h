// A bounded reader over one record's body already cut from the stream: the fields and strings
// of the records read whole (hyperlinks, headers, chart text), none of them past the body's end.
#ifndef CELLSIFT_WORKBOOK_RECORDSPAN_H
#define CELLSIFT_WORKBOOK_RECORDSPAN_H

#include <stddef.h>
#include <stdint.h>

#include <string>

class CodePageDecoder;

// A read past the end yields 0 (or the part of a string that is there) and sets the short flag.
class RecordSpan {
public:
    RecordSpan(const uint8_t *pb, size_t cb) : m_pb(pb), m_cb(cb), m_ib(0), m_fShort(false) {}

    uint8_t ReadU8();
    uint16_t ReadLe16();
    uint32_t ReadLe32();
    void Skip(size_t cb);
    // The next cb bytes, or null (the short flag set, nothing consumed) when fewer remain.
    const uint8_t *Take(size_t cb);
    // The next cb bytes as a span of their own; fewer when the body ends first (short flag set).
    RecordSpan TakeSpan(size_t cb);
    size_t CbLeft() const { return m_cb - m_ib; }
    bool FShort() const { return m_fShort; }

    // A BIFF8 string: a count (one byte when fShortCount, else two), a flags byte whose low bit
    // says 16-bit characters, then the characters. Appended to *ps as UTF-8.
    void ReadUnicodeString(bool fShortCount, std::string *ps);
    // A BIFF2-7 string: a count as above, then bytes in the workbook's code page.
    void ReadByteString(bool fShortCount, CodePageDecoder &decoder, std::string *ps);
    // cch UTF-16 units without a count; a NUL unit ends the text (the rest is consumed).
    void ReadUtf16(size_t cch, std::string *ps);

private:
    const uint8_t *m_pb;
    size_t m_cb;
    size_t m_ib;
    bool m_fShort;
};

#endif
