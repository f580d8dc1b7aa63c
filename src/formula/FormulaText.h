// The formula decompiler: a formula's parsed tokens (rgce and the data after it) to the text a
// formula bar shows in en-US, "=" first; built on the byte cursor alone, names through the caller.
#ifndef CELLSIFT_FORMULA_FORMULATEXT_H
#define CELLSIFT_FORMULA_FORMULATEXT_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// Where the formula stands. Relative parts of ptgRefN/ptgAreaN are offsets from row/col; so are
// those of the 3-D references when fRelativeOffsets is set, which the caller sets for the
// formulas of SHRFMLA, NAME (row 0, col 0), conditional formats and data validation.
struct FormulaSite {
    uint32_t row = 0;
    uint16_t col = 0;
    int biffVersion = 8; // 2, 3, 4, 5 (BIFF7 too) or 8
    bool fRelativeOffsets = false;
};

// The tokens: rgce, and the array constants and range lists stored after it (cbExtra may be 0).
struct FormulaBytes {
    const uint8_t *pbRgce = nullptr;
    size_t cbRgce = 0;
    const uint8_t *pbExtra = nullptr;
    size_t cbExtra = 0;
};

// The sheet part of a 3-D reference or of an external name, as stored: BIFF8 gives ixti (an
// EXTERNSHEET entry) alone; BIFF5 gives ixals in ixti (a signed value) and the two sheet indexes.
struct XtiRef {
    uint16_t ixti = 0;
    uint16_t itabFirst = 0;
    uint16_t itabLast = 0;
};

// Sheet names unquoted: the engine quotes them as a spreadsheet does. sBook is the external
// workbook's name without brackets, empty for this workbook; sLast is empty for one sheet.
struct SheetSpan {
    std::string sBook;
    std::string sFirst;
    std::string sLast;
};

// An external or add-in name: sBook empty for add-in functions ("_xlfn.IFERROR" stays as it is).
struct ExternName {
    std::string sBook;
    std::string sName;
};

// The caller's knowledge of the workbook; all text in UTF-8. A lookup that fails (false) shows
// as #REF! (sheets) or #NAME? (names) and leaves a warning. Each lookup's text counts towards the
// bound of the formula's text, so a resolver cannot make it unbounded by itself.
class FormulaRefs {
public:
    virtual ~FormulaRefs() = default;
    virtual bool SheetText(const XtiRef &xti, SheetSpan *pspan) const;
    // iName is one-based, as ptgName stores it; the text is the name as the bar shows it.
    virtual bool NameText(uint16_t iName, std::string *psName) const;
    virtual bool ExternNameText(const XtiRef &xti, uint16_t iName, ExternName *pname) const;
    // The 8-bit strings of BIFF2-5 in the workbook's code page; by default read as Latin-1.
    virtual void Text8(const uint8_t *pb, size_t cb, std::string *psOut) const;
};

enum class FormulaStatus {
    Ok,        // the whole text appended (a warning may still name an unresolved name)
    Damaged,   // the text so far and kszFormulaDamaged appended; the warning says why
    SharedRef, // ptgExp: the cell belongs to the SHRFMLA or ARRAY of rowOwner/colOwner
    TableRef,  // ptgTbl: the cell belongs to the TABLE of rowOwner/colOwner
};

struct FormulaNote {
    std::string sWarning;
    uint32_t rowOwner = 0;
    uint16_t colOwner = 0;
};

// Ends the text of a formula that could not be read whole: "=A1+ #FORMULA?" style.
extern const char kszFormulaDamaged[];

// The bound of what one call appends: this many bytes a token byte (rgce and extra), twice the
// bytes the resolver returned, and kcbFormulaTextFixed. Reaching it is damage, never more text.
const size_t kcbFormulaTextPerByte = 64;
const size_t kcbFormulaTextFixed = 64;

// Appends "=" and the formula's text to *psOut. For SharedRef and TableRef nothing is appended:
// the caller renders the owning record's formula with this cell as the site (an ARRAY's braces
// and a TABLE's text are the caller's). Never reads outside the given bytes.
FormulaStatus AppendFormulaText(const FormulaBytes &bytes, const FormulaSite &site, const FormulaRefs &refs,
                                std::string *psOut, FormulaNote *pnote);

#endif
