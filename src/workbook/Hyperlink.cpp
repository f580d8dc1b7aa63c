// The hyperlink object inside HLINK: option bits say which strings follow, and the target is
// either a moniker (a URL or a file, each with a class id and data of its own) or a string.
#include "workbook/Hyperlink.h"

#include <string.h>

#include "workbook/RecordSpan.h"
#include "workbook/TextDecode.h"

namespace {

const uint32_t fHasMoniker = 0x0001;
const uint32_t fHasLocation = 0x0008;
const uint32_t fHasDisplayName = 0x0010;
const uint32_t fHasGuid = 0x0020;
const uint32_t fHasCreationTime = 0x0040;
const uint32_t fHasFrameName = 0x0080;
const uint32_t fMonikerAsString = 0x0100;

const uint16_t cUpMax = 64;

const uint8_t rgbUrlMoniker[16] = {0xE0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA, 0xCE, 0x11,
                                   0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B};
const uint8_t rgbFileMoniker[16] = {0x03, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                    0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// A count of UTF-16 units, the terminating NUL among them, then the units.
void ReadCountedUtf16(RecordSpan *pSpan, std::string *ps)
{
    pSpan->ReadUtf16(pSpan->ReadLe32(), ps);
}

// The URL moniker's data: its byte count, then the URL ending in NUL, then perhaps a
// serialised URI the text already says.
void ReadUrlMoniker(RecordSpan *pSpan, std::string *ps)
{
    uint32_t cb = pSpan->ReadLe32();
    RecordSpan data = pSpan->TakeSpan(cb);
    data.ReadUtf16(data.CbLeft() / 2, ps);
}

// The file moniker: how many levels up, the 8-bit path, a fixed part, and the path again in
// UTF-16 when it has characters the 8-bit form cannot hold; that one is used when present.
bool ReadFileMoniker(RecordSpan *pSpan, CodePageDecoder &decoder, std::string *ps)
{
    uint16_t cUp = pSpan->ReadLe16();
    uint32_t cbAnsi = pSpan->ReadLe32();
    const uint8_t *pbAnsi = pSpan->Take(cbAnsi);
    if (pbAnsi == nullptr)
        return false;
    size_t cbPath = 0;
    while (cbPath < cbAnsi && pbAnsi[cbPath] != 0)
        cbPath++;
    pSpan->Skip(24); // end of server part, version, reserved
    uint32_t cbUnicodeSize = pSpan->ReadLe32();
    std::string path;
    if (cbUnicodeSize != 0) {
        uint32_t cbUnicode = pSpan->ReadLe32();
        pSpan->Skip(2); // the key value
        pSpan->ReadUtf16(cbUnicode / 2, &path);
    } else {
        decoder.Append(pbAnsi, cbPath, &path);
    }
    // No path is that deep: a larger count is damage, and writing it out would turn two bytes
    // into thousands.
    for (uint16_t i = 0; i < cUp && i < cUpMax; i++)
        ps->append("..\\");
    ps->append(path);
    return cUp <= cUpMax;
}

} // namespace

bool ReadHlink(const uint8_t *pb, size_t cb, CodePageDecoder &decoder, HyperlinkRecord *pLink)
{
    *pLink = HyperlinkRecord();
    RecordSpan span(pb, cb);
    pLink->rowFirst = span.ReadLe16();
    pLink->rowLast = span.ReadLe16();
    pLink->colFirst = span.ReadLe16();
    pLink->colLast = span.ReadLe16();
    span.Skip(16); // the hyperlink class id
    span.Skip(4);  // the stream version
    uint32_t grbit = span.ReadLe32();
    if (span.FShort())
        return false;
    if (grbit & fHasDisplayName)
        ReadCountedUtf16(&span, &pLink->description);
    if (grbit & fHasFrameName) {
        std::string frame;
        ReadCountedUtf16(&span, &frame);
    }
    bool fKnown = true;
    if ((grbit & fHasMoniker) && (grbit & fMonikerAsString)) {
        ReadCountedUtf16(&span, &pLink->target);
    } else if (grbit & fHasMoniker) {
        const uint8_t *pbClass = span.Take(16);
        if (pbClass != nullptr && memcmp(pbClass, rgbUrlMoniker, 16) == 0)
            ReadUrlMoniker(&span, &pLink->target);
        else if (pbClass != nullptr && memcmp(pbClass, rgbFileMoniker, 16) == 0)
            fKnown = ReadFileMoniker(&span, decoder, &pLink->target);
        else
            fKnown = false; // a composite or item moniker: its place in the record is unknown
    }
    if (fKnown && (grbit & fHasLocation)) {
        std::string location;
        ReadCountedUtf16(&span, &location);
        if (!pLink->target.empty() && !location.empty())
            pLink->target.push_back('#');
        pLink->target.append(location);
    }
    if (fKnown && (grbit & fHasGuid))
        span.Skip(16);
    if (fKnown && (grbit & fHasCreationTime))
        span.Skip(8);
    return fKnown && !span.FShort();
}

bool ReadHlinkTooltip(const uint8_t *pb, size_t cb, HyperlinkRecord *pLink)
{
    RecordSpan span(pb, cb);
    span.Skip(2); // the record type again
    uint32_t rowFirst = span.ReadLe16();
    uint32_t rowLast = span.ReadLe16();
    uint32_t colFirst = span.ReadLe16();
    uint32_t colLast = span.ReadLe16();
    if (span.FShort() || rowFirst != pLink->rowFirst || rowLast != pLink->rowLast ||
        colFirst != pLink->colFirst || colLast != pLink->colLast)
        return false;
    pLink->tooltip.clear();
    span.ReadUtf16(span.CbLeft() / 2, &pLink->tooltip);
    return true;
}
