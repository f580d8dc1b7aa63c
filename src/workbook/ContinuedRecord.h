// A record's body and the CONTINUE records after it, read as one sequence of bytes; and the
// strings stored in it, whose characters take a new width at each CONTINUE they cross.
#ifndef CELLSIFT_WORKBOOK_CONTINUEDRECORD_H
#define CELLSIFT_WORKBOOK_CONTINUEDRECORD_H

#include <stddef.h>
#include <stdint.h>

#include <string>

class CodePageDecoder;

// Reads forward from the start of a record's body. Every read is checked against the end of
// the stream; a read past the last CONTINUE yields 0 and sets the short flag.
class ContinuedRecord {
public:
    // The record whose 4-byte header starts at ibRecord of the stream.
    ContinuedRecord(const uint8_t *pbStream, size_t cbStream, size_t ibRecord);
    // Back at a place noted with IbPos and IbPartEnd, to read on from there.
    static ContinuedRecord At(const uint8_t *pbStream, size_t cbStream, size_t ibPos, size_t ibPartEnd);

    uint8_t ReadU8() { return m_ib < m_ibEnd ? m_pb[m_ib++] : ReadU8AcrossParts(); }
    uint16_t ReadLe16()
    {
        if (m_ibEnd - m_ib < 2)
            return ReadLe16AcrossParts();
        uint16_t w = (uint16_t)(m_pb[m_ib] | (m_pb[m_ib + 1] << 8));
        m_ib += 2;
        return w;
    }
    uint32_t ReadLe32();
    void Skip(size_t cb);
    // Moves to the start of the next CONTINUE record's body, leaving the rest of this part
    // unread. False, with the short flag set, when none follows.
    bool NextPart();
    // Bytes left in the current part (the record, or the CONTINUE being read).
    size_t CbLeftInPart() const { return m_ibEnd - m_ib; }
    size_t IbPos() const { return m_ib; }
    size_t IbPartEnd() const { return m_ibEnd; }
    bool FShort() const { return m_fShort; }

    // What comes before a BIFF8 unicode string's characters: a count (one byte when
    // fShortCount, else two), option flags, and the sizes of what follows them.
    struct StringHeader {
        size_t cch;
        bool fHighByte;
        size_t cRun;     // formatting runs of 4 bytes each, after the characters
        size_t cbExtRst; // the phonetic block, after the runs
    };
    StringHeader ReadStringHeader(bool fShortCount);
    // Steps over the runs and phonetic block after a string's characters.
    void SkipStringTail(const StringHeader &header);
    // A whole BIFF8 unicode string: appends its characters as UTF-8 (steps over them when ps is
    // null), then steps over its runs and phonetic block.
    void ReadUnicodeString(bool fShortCount, std::string *ps);
    // cch characters, starting fHighByte wide; at each CONTINUE crossed a flags byte gives the
    // width of the rest. Appended to *ps as UTF-8, or stepped over when ps is null.
    void ReadCharacters(size_t cch, bool fHighByte, std::string *ps);
    // A BIFF2-7 byte string of cb bytes in the workbook's code page.
    void ReadByteString(size_t cb, CodePageDecoder &decoder, std::string *ps);

private:
    bool EnsureByte();
    uint8_t ReadU8AcrossParts();
    uint16_t ReadLe16AcrossParts();

    const uint8_t *m_pb;
    size_t m_cb;
    size_t m_ib;
    size_t m_ibEnd;
    bool m_fShort;
    std::string m_sBytes; // a byte string gathered across parts before it is decoded
};

#endif
