// The readable text (tab-separated rows, the properties and notes as lines of their own) and
// CSV (one table per sheet), each its separators and escaping over the one row layout.
#ifndef CELLSIFT_OUTPUT_ROWPRINTERS_H
#define CELLSIFT_OUTPUT_ROWPRINTERS_H

#include <string>

#include "output/BufferedOutput.h"
#include "output/NamesFormat.h"
#include "output/RowLayout.h"
#include "workbook/Workbook.h"

class TextPrinter : public WorkbookVisitor {
public:
    explicit TextPrinter(BufferedOutput *pOut);
    // The properties come after the workbook's own record: the block waits for the first sheet.
    void OnWorkbook(const WorkbookInfo &info) override
    {
        m_savedBy.assign(info.fAuthor ? info.author : std::string_view());
    }
    void OnProperties(const DocumentProperties &props) override { m_props = props; }
    void OnSheet(const SheetInfo &sheet) override;
    void OnCell(const Cell &cell) override;
    void Choose(const CellChoice &choice) { m_choice = choice; }
    bool WantsShown() const override { return !m_choice.fRawValues; }
    bool WantsFormulas() const override { return m_choice.fFormulas; }
    // The workbook's links and names wait with the properties; a sheet's own names for it.
    void OnExternalLink(const ExternalLink &link) override { m_names.Add(link); }
    void OnName(const DefinedName &name) override { m_names.Add(name); }
    void OnComment(const Comment &comment) override;
    void OnTextBox(const TextBox &box) override;
    void OnPageText(const PageText &page) override;
    void OnHyperlink(const Hyperlink &link) override;
    void OnChart(const Chart &chart) override;
    void OnVbaModule(const VbaModule &module) override;
    // The line before an embedded object's own text, after the container's.
    void OnEmbedded(const EmbeddedObject &object);
    void Finish()
    {
        WritePropertiesOnce();
        m_rows.EndRow();
    }

private:
    template <class Note>
    void AppendNote(void (*pfnAppendLine)(const Note &, std::string *), const Note &note);
    void WritePropertiesOnce();

    BufferedOutput *m_pOut;
    RowLayout m_rows;
    std::string m_savedBy;
    DocumentProperties m_props;
    NameLines m_names;
    bool m_fPropertiesWritten = false;
    CellChoice m_choice;
};

class CsvPrinter : public WorkbookVisitor {
public:
    explicit CsvPrinter(BufferedOutput *pOut);
    void OnSheet(const SheetInfo &) override;
    void OnCell(const Cell &cell) override;
    void Finish() { m_rows.EndRow(); }
    void Choose(const CellChoice &choice) { m_choice = choice; }
    bool WantsShown() const override { return !m_choice.fRawValues; }
    bool WantsFormulas() const override { return m_choice.fFormulas; }

private:
    BufferedOutput *m_pOut;
    RowLayout m_rows;
    bool m_fSheetSeen = false;
    CellChoice m_choice;
};

#endif
