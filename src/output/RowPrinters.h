// The printers that lay a sheet out as rows of cells: the readable text (tab-separated, with
// the properties and notes as lines of their own) and CSV (one table per sheet).
#ifndef CELLSIFT_OUTPUT_ROWPRINTERS_H
#define CELLSIFT_OUTPUT_ROWPRINTERS_H

#include <stdint.h>

#include <string>

#include "output/BufferedOutput.h"
#include "workbook/Workbook.h"

// Row layout shared by text and CSV: a new line per row, separators up to each cell's column.
class RowWriter {
public:
    // fKeepRows: an empty row is an empty line, so line N of a sheet is row N (CSV). A row
    // number is 16 bits, so one cell writes at most 65,535 of them before the written-bytes
    // budget is looked at again.
    RowWriter(BufferedOutput *pOut, char chSeparator, const char *pszLineEnd, bool fKeepRows)
            : m_pOut(pOut), m_chSeparator(chSeparator), m_pszLineEnd(pszLineEnd), m_fKeepRows(fKeepRows)
    {}
    void StartSheet()
    {
        EndRow();
        m_rowNext = 0;
    }
    void EndRow()
    {
        if (m_fRowOpen)
            m_pOut->Append(m_pszLineEnd);
        m_fRowOpen = false;
    }
    // Puts separators before a cell at row, col; the caller appends the cell itself.
    void PlaceCell(uint32_t row, uint32_t col);

private:
    BufferedOutput *m_pOut;
    char m_chSeparator;
    const char *m_pszLineEnd;
    bool m_fRowOpen = false;
    uint32_t m_row = 0;
    uint32_t m_colNext = 0;
    bool m_fKeepRows;
    uint32_t m_rowNext = 0; // the row after the furthest begun
};

class TextPrinter : public WorkbookVisitor {
public:
    explicit TextPrinter(BufferedOutput *pOut) : m_pOut(pOut), m_rows(pOut, '\t', "\n", false) {}
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
    RowWriter m_rows;
    std::string m_savedBy;
    DocumentProperties m_props;
    bool m_fPropertiesWritten = false;
    bool m_fRawValues = false;
};

class CsvPrinter : public WorkbookVisitor {
public:
    explicit CsvPrinter(BufferedOutput *pOut) : m_pOut(pOut), m_rows(pOut, ',', "\r\n", true) {}
    void OnSheet(const SheetInfo &) override;
    void OnCell(const Cell &cell) override;
    void Finish() { m_rows.EndRow(); }
    void SetRawValues(bool fRawValues) { m_fRawValues = fRawValues; }
    bool WantsShown() const override { return !m_fRawValues; }

private:
    BufferedOutput *m_pOut;
    RowWriter m_rows;
    bool m_fSheetSeen = false;
    bool m_fRawValues = false;
};

#endif
