// The typed values of a property set as UTF-8 text (strings in a section's code page or UTF-16,
// times, numbers, booleans), and the budgets a stream's size sets on reading them.
#ifndef CELLSIFT_WORKBOOK_PROPERTYVALUE_H
#define CELLSIFT_WORKBOOK_PROPERTYVALUE_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "biff/ByteCursor.h"
#include "unicode/TextDecode.h"

// The bytes of a block from ib on, where an offset read from the stream points; none when ib
// lies past the block's end.
inline ByteCursor CursorAt(const uint8_t *pb, size_t cb, size_t ib)
{
    return ib <= cb ? ByteCursor(pb + ib, cb - ib) : ByteCursor(pb + cb, 0);
}

// What may still be spent on one stream, and where its damage is told. Sections, tables and
// values that overlap may not multiply the work or the output. A sound stream decodes each
// string's bytes once, so those fit its size. The rest fits three times its size, and four are
// allowed: each entry of a table or a dictionary (8 bytes) is charged once, a fixed value (4 to
// 8 bytes and its type) writes at most 24 characters, and a user-defined property's name,
// stored once in as few as a third of the bytes its UTF-8 form takes, is written once.
class PropertyBudget {
public:
    PropertyBudget(size_t cbStream, std::vector<std::string> *prgWarning);

    // Each takes cb from its budget: false, and the rest of it spent, when it has less.
    bool ChargeText(size_t cb) { return Charge(&m_cbText, cb); }   // bytes of strings decoded
    bool ChargeOther(size_t cb) { return Charge(&m_cbOther, cb); } // entries walked, values written
    size_t CbOtherLeft() const { return m_cbOther; }
    // Each kind of damage once: a set of a million broken entries is one warning, not a million.
    void Warn(const char *psz);

private:
    bool Charge(size_t *pcbLeft, size_t cb);

    size_t m_cbText;
    size_t m_cbOther;
    std::vector<std::string> *m_prgWarning;
};

// The text of one section's values, in the code page the section names.
class PropertyText {
public:
    explicit PropertyText(PropertyBudget *pBudget) : m_pBudget(pBudget) {}

    // False when the system cannot convert from nCodePage: strings are then read as Windows-1252.
    bool SetCodePage(int nCodePage) { return m_decoder.SetCodePage(nCodePage); }
    // Appends the text of the typed value at the cursor; false when its type is not one shown
    // as text, or when the budget for it is spent.
    bool AppendValue(ByteCursor value, std::string *ps);
    // Append cb bytes of 8-bit text in the section's code page, or of UTF-16 (cb / 2 units),
    // without their NULs; false when the budget for text is spent.
    bool AppendCodePageText(const uint8_t *pb, size_t cb, std::string *ps);
    bool AppendWideText(const uint8_t *pb, size_t cb, std::string *ps);

private:
    PropertyBudget *m_pBudget;
    CodePageDecoder m_decoder;
};

#endif
