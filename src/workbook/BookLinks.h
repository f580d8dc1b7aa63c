// What a workbook's formulas refer to beyond its cells: linked documents (SUPBOOK, or BIFF5's
// EXTERNSHEET records), the BIFF8 table of sheet spans, external names and defined names.
#ifndef CELLSIFT_WORKBOOK_BOOKLINKS_H
#define CELLSIFT_WORKBOOK_BOOKLINKS_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "biff/ContinuedCursor.h"
#include "formula/FormulaText.h"
#include "workbook/BookState.h"

// Gathered in the walk of the globals (BookLinks.cpp), handed to the visitor after it, and
// the formulas' resolver from then on (FormulaLinks.cpp). A BIFF5 sheet has a table of linked
// sheets of its own, which its formulas use while it is read.
class BookLinks : public FormulaRefs {
public:
    explicit BookLinks(BookState &book) : m_book(book) {}

    void AddSheet(const std::string &name) { m_rgSheetName.push_back(name); }
    // A record of the globals, or of a BIFF5 sheet's own table; others are passed over.
    void ReadRecord(const BiffRecord &record);
    // OnExternalLink for each linked document, then OnName for each defined name.
    void Emit();
    // A BIFF5 sheet starts: its own table replaces the last sheet's.
    void StartSheet();
    // Appends "=" and the formula at site to *psOut; false, with *psWarning saying why, when
    // it could not be read whole (the text then ends with the engine's mark). fCut: the record
    // ended before the tokens it counts, however whole those that are there read.
    bool AppendFormula(const FormulaBytes &bytes, const FormulaSite &site, bool fCut, std::string *psOut,
                       std::string *psWarning) const;

    bool SheetText(const XtiRef &xti, SheetSpan *pspan) const override;
    bool NameText(uint16_t iName, std::string *psName) const override;
    bool ExternNameText(const XtiRef &xti, uint16_t iName, ExternName *pname) const override;
    void Text8(const uint8_t *pb, size_t cb, std::string *psOut) const override;

private:
    enum class BookKind {
        Self,    // this workbook, or one of its sheets (BIFF5)
        Deleted, // BIFF5: this workbook, for references to sheets since deleted
        AddIn,
        Workbook,
        Dde,
        Ole,
    };
    struct LinkedBook {
        BookKind kind;
        std::string path;   // Workbook: decoded; Dde and Ole: the topic or document
        std::string sApp;   // Dde: the server; Ole: the class
        std::string sSheet; // BIFF5: the one sheet an EXTERNSHEET names
        std::vector<std::string> rgSheet;
        std::vector<std::string> rgName; // its EXTERNNAME records in order
        uint32_t iLink = 0;              // Workbook, Dde, Ole: what formulas show it as, from 1
    };
    struct Xti {
        uint16_t iSupBook, itabFirst, itabLast;
    };
    struct DefinedNameEntry {
        std::string name;
        uint32_t iSheet;
        bool fHidden, fBuiltIn;
        size_t cce;
        std::vector<uint8_t> rgb; // rgce, then what follows it in the record
    };

    // BookLinks.cpp
    void ReadSupBook(const BiffRecord &record);
    void ReadExternSheet(const BiffRecord &record);
    void ReadExternName(const BiffRecord &record);
    void ReadName(const BiffRecord &record);
    void ClassifyLink(const std::string &raw, LinkedBook *pbook) const;
    void ReadCodedBytes(ContinuedCursor *pCursor, size_t cb, std::string *ps) const;
    void Warn(const std::string &message) const;
    // FormulaLinks.cpp
    static bool FExternal(BookKind kind, ExternalKind *pkind);
    const LinkedBook *BookOf(const XtiRef &xti) const;
    std::string BookText(const LinkedBook &book) const;
    bool OwnSheets(uint16_t itabFirst, uint16_t itabLast, SheetSpan *pspan) const;

    BookState &m_book;
    bool m_fInSheet = false; // reading a BIFF5 sheet's own table
    std::vector<std::string> m_rgSheetName;
    std::vector<LinkedBook> m_rgBook;  // the globals' SUPBOOK or EXTERNSHEET records
    std::vector<LinkedBook> m_rgLocal; // the BIFF5 sheet's EXTERNSHEET records
    std::vector<Xti> m_rgXti;
    std::vector<DefinedNameEntry> m_rgName;
    uint32_t m_cLink = 0;
};

#endif
