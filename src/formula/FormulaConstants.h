// The constants of a formula as its text shows them: quoted strings from either string form,
// numbers, errors, booleans, and array constants read from the data after the tokens.
#ifndef CELLSIFT_FORMULA_FORMULACONSTANTS_H
#define CELLSIFT_FORMULA_FORMULACONSTANTS_H

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "biff/ByteCursor.h"
#include "biff/ErrorCodes.h"
#include "formula/FormulaText.h"

// How strings are stored: BIFF8's Unicode form or BIFF2-5's code-page bytes; the count before
// them is a byte in ptgStr, two bytes in BIFF8's array constants.
struct FormulaStringForm {
    bool fUnicode;
    bool fWideCount;
};

// The string at the cursor in double quotes, its own quotes doubled. The code-page decoder's
// output is added to *pcbResolved. False when the string is cut short.
bool AppendStringConstant(ByteCursor *pcur, FormulaStringForm form, const FormulaRefs &refs,
                          std::string *psOut, size_t *pcbResolved);
// The shortest text that reads back as the same number; #NUM! for what no cell can hold.
void AppendNumberConstant(double d, std::string *psOut);
// "{1,2;"a",TRUE}" from the extra data at the cursor. False when it is damaged or cut short.
bool AppendArrayConstant(ByteCursor *pcurExtra, bool fBiff8, const FormulaRefs &refs, std::string *psOut,
                         size_t *pcbResolved);

#endif
