// The readable text (tab-separated rows, the properties and notes as lines of their own) and
// CSV (one table per sheet), each its separators and escaping over the one row layout.
#ifndef CELLSIFT_OUTPUT_ROWPRINTERS_H
#define CELLSIFT_OUTPUT_ROWPRINTERS_H

#include <string>

#include "output/BufferedOutput.h"
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
    void SetRawValues(bool fRawValues) { m_fRawValues = fRawValues; }
    bool WantsShown() const override { return !m_fRawValues; }
    void OnComment(const Comment &comment) override;
    void OnTextBox(const TextBox &box) override;
    void OnPageText(const PageText &page) override;
    void OnHyperlink(const Hyperlink &link) override;
    void OnChart(const Chart &chart) override;
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
    bool m_fPropertiesWritten = false;
    bool m_fRawValues = false;
};

class CsvPrinter : public WorkbookVisitor {
public:
    explicit CsvPrinter(BufferedOutput *pOut);
    void OnSheet(const SheetInfo &) override;
    void OnCell(const Cell &cell) override;
    void Finish() { m_rows.EndRow(); }
    void SetRawValues(bool fRawValues) { m_fRawValues = fRawValues; }
    bool WantsShown() const override { return !m_fRawValues; }

private:
    BufferedOutput *m_pOut;
    RowLayout m_rows;
    bool m_fSheetSeen = false;
    bool m_fRawValues = false;
};

#endif
