// Noting and decoding shared strings. A string may begin at the start of any CONTINUE after
// the SST, empty ones included; it is noted where its header really is, with its own part's end.
#include "workbook/SharedStrings.h"

#include "biff/ContinuedCursor.h"
#include "recordtext/RecordStrings.h"

size_t SharedStrings::Note(const uint8_t *pbStream, size_t cbStream, size_t ibRecord)
{
    ContinuedCursor record(pbStream, cbStream, ibRecord);
    record.Le32(); // the total count of uses
    uint32_t cUnique = record.Le32();
    // Each string takes three bytes at least, so the stream bounds the count.
    size_t cMost = (cbStream - ibRecord) / 3;
    m_rgEntry.reserve(cUnique < cMost ? cUnique : cMost);
    for (uint32_t i = 0; i < cUnique; i++) {
        bool fMore = true;
        while (fMore && record.CbLeftInPart() == 0) {
            fMore = record.NextPart();
        }
        if (!fMore) {
            break;
        }
        Entry entry;
        entry.ibHeader = static_cast<uint32_t>(record.IbPos());
        entry.ibPartEnd = static_cast<uint32_t>(record.IbPartEnd());
        StringHeader header = ReadStringHeader(&record, false);
        ReadCharacters(&record, header.cch, header.fHighByte, nullptr);
        entry.ibCharsEnd = static_cast<uint32_t>(record.IbPos());
        entry.fUsed = false;
        m_rgEntry.push_back(entry);
        SkipStringTail(&record, header);
    }
    return cUnique;
}

bool SharedStrings::Decode(const uint8_t *pbStream, size_t cbStream, size_t isst, size_t cbMax,
                           std::string *ps)
{
    Entry &entry = m_rgEntry[isst];
    entry.fUsed = true;
    ContinuedCursor record = ContinuedCursor::At(pbStream, cbStream, entry.ibHeader, entry.ibPartEnd);
    StringHeader header = ReadStringHeader(&record, false);
    size_t ibStart = ps->size();
    // Every character gives one byte at least, so no more than cbMax need be decoded.
    ReadCharacters(&record, header.cch < cbMax ? header.cch : cbMax, header.fHighByte, ps);
    size_t cbText = ps->size() - ibStart;
    if (cbText <= cbMax) {
        return header.cch > cbMax;
    }
    size_t cbKeep = cbMax;
    while (cbKeep > 0 && ((*ps)[ibStart + cbKeep] & 0xC0) == 0x80) {
        cbKeep--;
    }
    ps->resize(ibStart + cbKeep);
    return true;
}
