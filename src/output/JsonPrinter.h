// JSON lines: one object per item of the workbook as the reader visits it, warnings among
// them, each a line of its own in valid UTF-8 whatever the file's name.
#ifndef CELLSIFT_OUTPUT_JSONPRINTER_H
#define CELLSIFT_OUTPUT_JSONPRINTER_H

#include <string>
#include <string_view>
#include <vector>

#include "output/BufferedOutput.h"
#include "workbook/Workbook.h"

class JsonPrinter : public WorkbookVisitor {
public:
    // path: the "file" key; a file name may be any bytes, JSON holds UTF-8 only.
    JsonPrinter(BufferedOutput *pOut, const std::string &path);
    void OnWorkbook(const WorkbookInfo &info) override;
    void OnSheet(const SheetInfo &sheet) override;
    void OnCell(const Cell &cell) override;
    void OnComment(const Comment &comment) override;
    void OnTextBox(const TextBox &box) override;
    void OnProperties(const DocumentProperties &props) override;
    void OnPageText(const PageText &page) override;
    void OnHyperlink(const Hyperlink &link) override;
    void OnChart(const Chart &chart) override;
    void OnExternalLink(const ExternalLink &link) override;
    void OnName(const DefinedName &name) override;
    void OnHidden(const HiddenSpan &span) override;
    void OnMerge(const MergedRange &range) override;
    void OnVbaModule(const VbaModule &module) override;
    void OnEmbedded(const EmbeddedObject &object);
    void OnWarning(std::string_view message) override;
    // Formula cells always carry their formula beside their value.
    bool WantsFormulas() const override { return true; }
    // Writes what waits for the workbook's end: the last sheet's hidden rows and columns.
    void Finish() { Line(); }
    // The line of a workbook that could not be read, named by its file: the message, and
    // whether a password would open it.
    void WriteError(const WorkbookError &error);

private:
    // The output's buffer, to begin a line: a sheet's hidden rows and columns come one span at
    // a time, and their one line is written before any other that follows them.
    std::string &Line();

    BufferedOutput *m_pOut;
    std::string m_path;
    uint32_t m_iHiddenSheet = 0;
    std::vector<std::string> m_rgHiddenRows;
    std::vector<std::string> m_rgHiddenColumns;
};

#endif
