// The record walker: record framing, the choice of records, the state carried from a
// record to its CONTINUE records, and where each piece of text starts and ends.
#include "xls/Walker.h"

#include "xls/RawText.h"
#include "xls/StreamBytes.h"
#include "xls/XlsString.h"

namespace {

// Record kinds, told by the low byte of the record type.
const uint8_t kindSst = 0xFC;         // "MAIN TEXT STORAGE"
const uint8_t kindLabel = 0x04;       // "LABEL"
const uint8_t kindWriteAccess = 0x5C; // "AUTHOR"
const uint8_t kindBoundSheet = 0x85;  // "SHEEET NAME"
const uint8_t kindTxo = 0xB6;
const uint8_t kindContinue = 0x3C; // "CONTINUE"

const uint16_t wNothingPending = 0xFFFF;
const char szSeparator[] = " ";

// What lives from one record to the next.
struct WalkState {
    uint16_t wLastKind;       // last selected record other than a CONTINUE; 0 after others
    uint16_t wPrevKind;       // the record just walked
    uint16_t wPendingChars;   // what the next CONTINUE continues (see the loop below)
    uint64_t cbPendingSkip;   // runs and extension of a cut string still to step over
    uint8_t fPendingHighByte; // width of the piece that was cut
};

// One selected record: its body and how far the walk has read it.
struct RecordCursor {
    const uint8_t *pbBody; // first body byte
    int64_t cbRecord;      // body length, cut to the end of the stream
    size_t cbToStreamEnd;  // bytes from pbBody to the end of the stream
    int64_t ibPos;         // read position; 64-bit so no size from the file can wrap it
};

// The walker's scratch piece and the document's text.
struct Output {
    Vstr &out;
    Vstr piece;
};

bool IsStringRecordKind(uint8_t kind)
{
    return kind == kindSst || kind == kindLabel || kind == kindWriteAccess || kind == kindBoundSheet;
}

bool IsSelected(uint8_t kind, const WalkState &walk)
{
    if (IsStringRecordKind(kind) || kind == kindTxo) {
        return true;
    }
    return kind == kindContinue &&
           (IsStringRecordKind(static_cast<uint8_t>(walk.wLastKind)) || walk.wPrevKind == kindTxo);
}

// The piece decoders replace the scratch's text, so it is emptied first: a decoder that
// yields nothing then leaves an empty piece, as a new buffer would.
Vstr &StartPiece(Output &output)
{
    output.piece.Assign(nullptr);
    return output.piece;
}

void EndPiece(Output &output, bool fSeparator)
{
    output.out.Append(output.piece);
    if (fSeparator) {
        output.out.Append(szSeparator);
    }
}

void EmitStringPiece(Output &output, const RecordCursor &rec, XlsStringState state, bool fSeparator)
{
    // The characters never reach past the record: only a string whose sizes wrapped could
    // claim more characters than body.
    int64_t cbLeft = rec.cbRecord - rec.ibPos;
    if (state.cbChars > cbLeft) {
        state.cbChars = static_cast<uint16_t>(cbLeft);
    }
    DecodeXlsStringPiece(rec.pbBody, static_cast<int32_t>(rec.ibPos), state, StartPiece(output));
    EndPiece(output, fSeparator);
}

// The strings of an SST record or of its CONTINUE records, from rec.ibPos. With fContinuing
// the first piece is the tail of a string cut at the end of the previous record, and state
// already describes it.
void WalkStrings(Output &output, WalkState &walk, RecordCursor &rec, XlsStringState &state, bool fContinuing)
{
    const int64_t ibEnd = rec.cbRecord;
    while (rec.ibPos < ibEnd) {
        if (!fContinuing) {
            if (!ParseXlsStringHeader(rec.pbBody, static_cast<int32_t>(rec.ibPos), rec.cbToStreamEnd,
                                      state)) {
                // The rest of the record is text of unknown width; nothing more is parsed.
                rec.ibPos += 2;
                int64_t cbRaw = ibEnd - rec.ibPos;
                DecodeRawText(rec.pbBody, static_cast<int32_t>(rec.ibPos),
                              cbRaw > 0 ? static_cast<int32_t>(cbRaw) : 0, StartPiece(output));
                EndPiece(output, true);
                return;
            }
            rec.ibPos += state.cbHeader;
        }
        if (rec.ibPos >= ibEnd) {
            return;
        }
        fContinuing = false;
        bool fSeparator = true;
        const uint64_t cbAvail = static_cast<uint64_t>(ibEnd - rec.ibPos);
        if (state.cbBody == cbAvail) {
            walk.wPendingChars = 0;
            walk.fPendingHighByte = state.fHighByte;
        } else if (state.cbChars > cbAvail) {
            walk.wPendingChars = static_cast<uint16_t>(state.cbChars - cbAvail);
            walk.cbPendingSkip = state.cbBody - state.cbChars;
            state.cbChars = static_cast<uint16_t>(cbAvail);
            state.cbBody = cbAvail;
            walk.fPendingHighByte = state.fHighByte;
            fSeparator = false;
        } else if (state.cbBody > cbAvail) {
            walk.wPendingChars = 0;
            walk.cbPendingSkip = state.cbBody - cbAvail;
            state.cbBody = cbAvail;
            walk.fPendingHighByte = state.fHighByte;
        }
        EmitStringPiece(output, rec, state, fSeparator);
        // Never less than the characters just emitted: the body is at least as long as they are.
        rec.ibPos += static_cast<int64_t>(state.cbBody);
    }
}

// LABEL, WRITEACCESS and BOUNDSHEET: one string behind a fixed header, with or without the
// flags byte; the byte at the flags position tells which layout the record has.
void WalkSingleString(Output &output, uint8_t kind, RecordCursor &rec, XlsStringState &state)
{
    size_t ibCount = 0;
    size_t ibFlags = 2;
    bool fCountIsByte = false;
    if (kind == kindLabel) {
        ibCount = 6;
        ibFlags = 8;
    } else if (kind == kindBoundSheet) {
        ibCount = 6;
        ibFlags = 7;
        fCountIsByte = true;
    }
    uint16_t cch = fCountIsByte ? ReadU8(rec.pbBody, rec.cbToStreamEnd, ibCount)
                                : ReadLe16(rec.pbBody, rec.cbToStreamEnd, ibCount);
    uint8_t bFlags = ReadU8(rec.pbBody, rec.cbToStreamEnd, ibFlags);
    int64_t cbHeader = static_cast<int64_t>(ibFlags) + 1;
    if (bFlags == 1) {
        state.fHighByte = 1;
        state.cbChars = static_cast<uint16_t>(cch * 2);
    } else {
        state.fHighByte = 0;
        state.cbChars = cch;
        if (bFlags != 0) {
            cbHeader = static_cast<int64_t>(ibFlags);
        }
    }
    int64_t cbLeft = rec.cbRecord - cbHeader;
    // A body shorter than its own header holds no string at all.
    if (cbLeft < 0) {
        return;
    }
    if (state.cbChars >= cbLeft) {
        state.cbChars = static_cast<uint16_t>(cbLeft);
    }
    rec.ibPos = cbHeader;
    EmitStringPiece(output, rec, state, true);
}

// A CONTINUE that was selected: what it holds depends on what the record before left pending.
void WalkContinue(Output &output, WalkState &walk, uint16_t wKindBefore, RecordCursor &rec,
                  XlsStringState &state)
{
    if (walk.wPendingChars == wNothingPending) {
        return;
    }
    uint16_t cPending = walk.wPendingChars;
    walk.wPendingChars = wNothingPending;
    if (cPending == 0) {
        rec.ibPos = static_cast<int64_t>(walk.cbPendingSkip);
        walk.cbPendingSkip = 0;
        WalkStrings(output, walk, rec, state, false);
        return;
    }
    // The first byte is the flags byte of the characters that go on here.
    rec.ibPos = 1;
    uint8_t fHigh = ReadU8(rec.pbBody, rec.cbToStreamEnd, 0) & 1;
    state.fHighByte = fHigh;
    uint16_t cbChars = cPending;
    if (wKindBefore == kindTxo) {
        // After a text box the count is in characters.
        if (fHigh) {
            cbChars = static_cast<uint16_t>(cPending * 2);
        }
    } else if (walk.fPendingHighByte && !fHigh) {
        cbChars = cPending / 2;
    } else if (!walk.fPendingHighByte && fHigh) {
        cbChars = static_cast<uint16_t>(cPending * 2);
    }
    state.cbChars = cbChars;
    state.cbBody = cbChars + walk.cbPendingSkip;
    walk.cbPendingSkip = 0;
    WalkStrings(output, walk, rec, state, true);
}

} // namespace

void WalkXlsRecords(const uint8_t *pbStream, int32_t cbStream, Vstr &out)
{
    if (static_cast<int64_t>(cbStream) - 4 <= 0) {
        return;
    }
    const int64_t cbAll = cbStream;
    WalkState walk = {0, 0, wNothingPending, 0, 1};
    Output output = {out, {}};
    int64_t ibRecord = 0;
    // At least five bytes must remain for a record to be read.
    while (ibRecord < cbAll - 4) {
        uint8_t kind = pbStream[ibRecord];
        uint16_t cbStated = ReadLe16(pbStream, static_cast<size_t>(cbAll), static_cast<size_t>(ibRecord + 2));
        RecordCursor rec;
        rec.pbBody = pbStream + ibRecord + 4;
        rec.cbToStreamEnd = static_cast<size_t>(cbAll - (ibRecord + 4));
        // A record that claims more than the stream holds is taken up to the stream's end.
        rec.cbRecord = cbStated <= static_cast<int64_t>(rec.cbToStreamEnd)
                           ? cbStated
                           : static_cast<int64_t>(rec.cbToStreamEnd);
        rec.ibPos = 0;
        ibRecord += 4 + static_cast<int64_t>(cbStated);

        if (!IsSelected(kind, walk)) {
            walk.wLastKind = 0;
            walk.wPendingChars = wNothingPending;
            walk.cbPendingSkip = 0;
            walk.wPrevKind = kind;
            continue;
        }
        if (kind != kindContinue) {
            walk.wLastKind = kind;
            walk.cbPendingSkip = 0;
            walk.wPendingChars = wNothingPending;
        }
        uint16_t wKindBefore = walk.wPrevKind;
        walk.wPrevKind = kind;
        XlsStringState state = {};
        switch (kind) {
        case kindSst:
            rec.ibPos = 8;
            WalkStrings(output, walk, rec, state, false);
            break;
        case kindTxo:
            // A text box too short to state its text's length leaves nothing pending.
            if (rec.cbRecord >= 12) {
                walk.wPendingChars = ReadLe16(rec.pbBody, rec.cbToStreamEnd, 10);
            }
            break;
        case kindContinue: WalkContinue(output, walk, wKindBefore, rec, state); break;
        default: WalkSingleString(output, kind, rec, state); break;
        }
    }
}
