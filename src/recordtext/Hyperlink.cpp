// The hyperlink object inside HLINK: option bits say which strings follow, and the target is
// either a moniker (a URL or a file, each with a class id and data of its own) or a string.
#include "recordtext/Hyperlink.h"

#include <string.h>

#include "recordtext/RecordStrings.h"
#include "unicode/TextDecode.h"

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
void ReadCountedUtf16(ByteCursor *pBody, std::string *ps)
{
    ReadUtf16(pBody, pBody->Le32(), ps);
}

// The URL moniker's data: its byte count, then the URL ending in NUL, then perhaps a
// serialised URI the text already says.
void ReadUrlMoniker(ByteCursor *pBody, std::string *ps)
{
    uint32_t cb = pBody->Le32();
    ByteCursor data = TakeCursor(pBody, cb);
    ReadUtf16(&data, data.CbLeft() / 2, ps);
}

// The file moniker: how many levels up, the 8-bit path, a fixed part, and the path again in
// UTF-16 when it has characters the 8-bit form cannot hold; that one is used when present.
bool ReadFileMoniker(ByteCursor *pBody, CodePageDecoder &decoder, std::string *ps)
{
    uint16_t cUp = pBody->Le16();
    uint32_t cbAnsi = pBody->Le32();
    const uint8_t *pbAnsi = pBody->Bytes(cbAnsi);
    if (pbAnsi == nullptr) {
        return false;
    }
    size_t cbPath = 0;
    while (cbPath < cbAnsi && pbAnsi[cbPath] != 0) {
        cbPath++;
    }
    SkipUpTo(pBody, 24); // end of server part, version, reserved
    uint32_t cbUnicodeSize = pBody->Le32();
    std::string path;
    if (cbUnicodeSize != 0) {
        uint32_t cbUnicode = pBody->Le32();
        SkipUpTo(pBody, 2); // the key value
        ReadUtf16(pBody, cbUnicode / 2, &path);
    } else {
        decoder.Append(pbAnsi, cbPath, &path);
    }
    // No path is that deep: a larger count is damage, and writing it out would turn two bytes
    // into thousands.
    for (uint16_t i = 0; i < cUp && i < cUpMax; i++) {
        ps->append("..\\");
    }
    ps->append(path);
    return cUp <= cUpMax;
}

} // namespace

bool ReadHlink(const uint8_t *pb, size_t cb, CodePageDecoder &decoder, HyperlinkRecord *pLink)
{
    *pLink = HyperlinkRecord();
    ByteCursor body(pb, cb);
    pLink->rowFirst = body.Le16();
    pLink->rowLast = body.Le16();
    pLink->colFirst = body.Le16();
    pLink->colLast = body.Le16();
    SkipUpTo(&body, 16); // the hyperlink class id
    SkipUpTo(&body, 4);  // the stream version
    uint32_t grbit = body.Le32();
    if (body.FShort()) {
        return false;
    }
    if (grbit & fHasDisplayName) {
        ReadCountedUtf16(&body, &pLink->description);
    }
    if (grbit & fHasFrameName) {
        std::string frame;
        ReadCountedUtf16(&body, &frame);
    }
    bool fKnown = true;
    if ((grbit & fHasMoniker) && (grbit & fMonikerAsString)) {
        ReadCountedUtf16(&body, &pLink->target);
    } else if (grbit & fHasMoniker) {
        const uint8_t *pbClass = body.Bytes(16);
        if (pbClass != nullptr && memcmp(pbClass, rgbUrlMoniker, 16) == 0) {
            ReadUrlMoniker(&body, &pLink->target);
        } else if (pbClass != nullptr && memcmp(pbClass, rgbFileMoniker, 16) == 0) {
            fKnown = ReadFileMoniker(&body, decoder, &pLink->target);
        } else {
            fKnown = false; // a composite or item moniker: its place in the record is unknown
        }
    }
    if (fKnown && (grbit & fHasLocation)) {
        std::string location;
        ReadCountedUtf16(&body, &location);
        if (!pLink->target.empty() && !location.empty()) {
            pLink->target.push_back('#');
        }
        pLink->target.append(location);
    }
    if (fKnown && (grbit & fHasGuid)) {
        SkipUpTo(&body, 16);
    }
    if (fKnown && (grbit & fHasCreationTime)) {
        SkipUpTo(&body, 8);
    }
    return fKnown && !body.FShort();
}

bool ReadHlinkTooltip(const uint8_t *pb, size_t cb, HyperlinkRecord *pLink)
{
    ByteCursor body(pb, cb);
    SkipUpTo(&body, 2); // the record type again
    uint32_t rowFirst = body.Le16();
    uint32_t rowLast = body.Le16();
    uint32_t colFirst = body.Le16();
    uint32_t colLast = body.Le16();
    if (body.FShort() || rowFirst != pLink->rowFirst || rowLast != pLink->rowLast ||
        colFirst != pLink->colFirst || colLast != pLink->colLast) {
        return false;
    }
    pLink->tooltip.clear();
    ReadUtf16(&body, body.CbLeft() / 2, &pLink->tooltip);
    return true;
}
