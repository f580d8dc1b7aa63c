// The shared string table of a BIFF8 workbook: where each string lies in the stream, noted once
// when the table is read, so that a cell decodes its string without walking any other.
#ifndef CELLSIFT_WORKBOOK_SHAREDSTRINGS_H
#define CELLSIFT_WORKBOOK_SHAREDSTRINGS_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

class SharedStrings {
public:
    // Notes the strings of the SST record at ibRecord and its CONTINUE records. Returns how
    // many it promises; fewer are noted when the table is cut short. The stream is at most
    // 4 GiB, as its offsets are kept in 32 bits.
    size_t Note(const uint8_t *pbStream, size_t cbStream, size_t ibRecord);
    size_t Count() const { return m_rgEntry.size(); }
    bool FUsed(size_t isst) const { return m_rgEntry[isst].fUsed; }
    // The stream bytes from the string's header to the end of its characters, CONTINUE
    // headers included: what decoding it again walks.
    size_t CbSpan(size_t isst) const { return m_rgEntry[isst].ibCharsEnd - m_rgEntry[isst].ibHeader; }
    // Appends string isst as UTF-8, at most cbMax bytes of it, cut before a character that
    // would pass that; marks it used. True when it was cut.
    bool Decode(const uint8_t *pbStream, size_t cbStream, size_t isst, size_t cbMax, std::string *ps);

private:
    struct Entry {
        uint32_t ibHeader;   // the count and flags
        uint32_t ibPartEnd;  // the end of the record or CONTINUE the header is in
        uint32_t ibCharsEnd; // after the last character, where runs and phonetic data start
        bool fUsed;
    };
    std::vector<Entry> m_rgEntry;
};

#endif
