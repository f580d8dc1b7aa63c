// The workbook as one UTF-8 HTML document, the form a desktop search engine's HTML filter
// reads: the properties in <title> and <meta> tags and as the readable text's lines, one
// <table> per sheet of the cells as shown (the stored value in data-value, a formula in
// data-formula), the notes after it.
#ifndef CELLSIFT_OUTPUT_HTMLPRINTER_H
#define CELLSIFT_OUTPUT_HTMLPRINTER_H

#include <string>

#include "output/NamesFormat.h"
#include "output/RowLayout.h"
#include "workbook/Workbook.h"

// Appends to *ps and calls pfnMaybeFlush(pContext) after each item, so the owner of *ps can
// pass it on in pieces. Finish ends the document.
class HtmlPrinter : public WorkbookVisitor {
public:
    // fFragment: the body's content only, for a workbook embedded in the one whose document it
    // goes into.
    HtmlPrinter(std::string *ps, void (*pfnMaybeFlush)(void *), void *pContext, bool fFragment = false);
    void OnWorkbook(const WorkbookInfo &info) override;
    void OnProperties(const DocumentProperties &props) override { m_props = props; }
    void OnSheet(const SheetInfo &sheet) override;
    void OnCell(const Cell &cell) override;
    void OnComment(const Comment &comment) override;
    void OnTextBox(const TextBox &box) override;
    void OnPageText(const PageText &page) override;
    void OnHyperlink(const Hyperlink &link) override;
    void OnChart(const Chart &chart) override;
    void OnVbaModule(const VbaModule &module) override;
    // A heading before an embedded object's own content.
    void OnEmbedded(const EmbeddedObject &object);
    void OnExternalLink(const ExternalLink &link) override { m_names.Add(link); }
    void OnName(const DefinedName &name) override { m_names.Add(name); }
    void Finish();
    // What the cells show (--values raw: the stored values, with no data-value; --formulas: a
    // formula cell's formula, with its value in data-value).
    void Choose(const CellChoice &choice) { m_choice = choice; }
    bool WantsShown() const override { return !m_choice.fRawValues; }
    // Every formula cell carries its formula in data-formula.
    bool WantsFormulas() const override { return true; }

private:
    void StartBody();
    void EndTable();
    // Readable lines (the properties', a name's), each a paragraph.
    void AppendParagraphs(std::string_view lines);
    // A heading of a line of the readable text (its newline dropped).
    void AppendHeading(std::string_view line);
    // A paragraph of the note's line of the readable text (its newline dropped).
    template <class Note>
    void AppendNote(void (*pfnAppendLine)(const Note &, std::string *), const Note &note);

    std::string *m_ps;
    void (*m_pfnMaybeFlush)(void *);
    void *m_pContext;
    RowLayout m_rows;
    DocumentProperties m_props;
    std::string m_savedBy;
    std::string m_line; // a cell's text on one line, before it is escaped
    NameLines m_names;
    CellChoice m_choice;
    bool m_fFragment;
    bool m_fBodyStarted = false;
    bool m_fTableOpen = false;
};

#endif
