// Parsing of the unicode-string header, with its rejection of undefined option flags, and
// the decoding of a piece of character data as the header describes it.
#include "xls/XlsString.h"

#include "log/ErrorFlag.h"
#include "xls/RawText.h"
#include "xls/StreamBytes.h"

namespace {

const uint8_t grbitHighByte = 0x01;
const uint8_t grbitExtRst = 0x04;
const uint8_t grbitRichText = 0x08;
const uint8_t grbitUndefined = 0xF2;

} // namespace

bool ParseXlsStringHeader(const uint8_t *pbData, int32_t ib, size_t cbData, XlsStringState &state)
{
    size_t ibHeader = static_cast<size_t>(ib);
    uint16_t cch = ReadLe16(pbData, cbData, ibHeader);
    uint8_t grbit = ReadU8(pbData, cbData, ibHeader + 2);

    state.grbit = grbit;
    state.fHighByte = grbit & grbitHighByte;
    // The doubling is 16-bit: counts from 32768 up wrap, as they always have.
    state.cbChars = state.fHighByte ? static_cast<uint16_t>(cch * 2) : cch;
    state.cbHeader = 3;
    state.cbBody = state.cbChars;
    if (grbit & grbitRichText) {
        state.cRun = ReadLe16(pbData, cbData, ibHeader + 3);
        state.cbHeader += 2;
        state.cbBody += 4 * static_cast<uint64_t>(state.cRun);
    }
    if (grbit & grbitExtRst) {
        state.cbExtRst = ReadLe32(pbData, cbData, ibHeader + state.cbHeader);
        state.cbHeader += 4;
        state.cbBody += state.cbExtRst;
    }
    if (grbit & grbitUndefined) {
        RaiseErrorFlag();
        return false;
    }
    return true;
}

void DecodeXlsStringPiece(const uint8_t *pbData, int32_t ib, XlsStringState state, Vstr &text)
{
    if (state.fHighByte != 0) {
        ConvertUtf16ToAnsi(pbData + ib, state.cbChars / 2, text);
        return;
    }
    CopyAnsiText(pbData + ib, state.cbChars, text);
}
