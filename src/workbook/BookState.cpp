// What the reader's passes share: the budget for repeated text that the stream's size sets,
// the funnel every warning goes through, and the version's forms of a short record and a string.
#include "workbook/BookState.h"

#include <stdio.h>

#include "recordtext/RecordStrings.h"

namespace {

// Text handed out again (a shared string in many cells) may reach this many bytes per
// stream byte; real workbooks stay far below it.
const size_t cbRepeatBudgetPerByte = 64;
const size_t cWarningsMax = 64;

} // namespace

BookState::BookState(const uint8_t *pbStream, size_t cbStream, WorkbookVisitor &visitorOfBook)
        : pb(pbStream), cb(cbStream), visitor(visitorOfBook), fShown(visitorOfBook.WantsShown()),
          fFormulas(visitorOfBook.WantsFormulas()), cbRepeatBudget(cbStream * cbRepeatBudgetPerByte)
{
    formats.SetLocale(visitorOfBook.Locale());
}

void BookState::Warn(const std::string &message)
{
    cWarnings++;
    if (cWarnings < cWarningsMax) {
        visitor.OnWarning(message);
    } else if (cWarnings == cWarningsMax) {
        visitor.OnWarning("more warnings left out");
    }
}

// A record whose fields run past its body has given no value worth keeping: the reads past
// its end came back as zeros, not as bytes of the next record.
bool BookState::FShortRecord(const ByteCursor &body, const BiffRecord &record)
{
    if (!body.FShort()) {
        return false;
    }
    char szType[8];
    snprintf(szType, sizeof(szType), "%04X", record.wType);
    Warn(std::string("a record of type 0x") + szType + " at offset " + std::to_string(record.ib) +
         " is too short for its fields; it is left out");
    return true;
}

void BookState::ReadString(ContinuedCursor *pRecord, bool fShortCount, std::string *ps)
{
    if (nBiff >= 8) {
        ReadUnicodeString(pRecord, fShortCount, ps);
    } else {
        ReadByteString(pRecord, fShortCount, decoder, ps);
    }
}
