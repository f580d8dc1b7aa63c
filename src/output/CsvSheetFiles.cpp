// CSV with one file per sheet: each sheet's table into the file the caller's opener gives,
// all of them within the written-bytes budget of one output.
#include "output/OutputForms.h"

#include <memory>

#include "output/BufferedOutput.h"
#include "output/RowPrinters.h"
#include "output/SelectingVisitor.h"

namespace {

// Each sheet's CSV into the file the opener gives, through one buffer whose destination
// changes at each sheet, so the written-bytes budget counts every file.
class CsvSheetFiles : public WorkbookVisitor {
public:
    CsvSheetFiles(const CellChoice &choice, SheetFileOpener pfnOpen, SheetFileCloser pfnClose, void *pContext,
                  WarningSink pfnWarn, void *pWarnContext)
            : m_out(cbFilePiece, WriteSheetPiece, &m_pf), m_choice(choice), m_pfnOpen(pfnOpen),
              m_pfnClose(pfnClose), m_pContext(pContext), m_pfnWarn(pfnWarn), m_pWarnContext(pWarnContext)
    {}
    ~CsvSheetFiles() override { Close(); }
    const WrittenMeter &Meter() const { return m_out; }
    bool WantsShown() const override { return !m_choice.fRawValues; }
    bool WantsFormulas() const override { return m_choice.fFormulas; }
    void OnSheet(const SheetInfo &sheet) override
    {
        Close();
        // A chart sheet has no cells, so no table: its text is in the other forms. An empty
        // worksheet still gets its (empty) file.
        if (sheet.kind == SheetKind::Chart) {
            return;
        }
        m_pf = m_pfnOpen(m_pContext, sheet);
        if (m_pf == nullptr) {
            return;
        }
        m_pPrinter.reset(new CsvPrinter(&m_out)); // a table of its own: no separator before it
        m_pPrinter->Choose(m_choice);
        m_pPrinter->OnSheet(sheet);
    }
    void OnCell(const Cell &cell) override
    {
        if (m_pPrinter) {
            m_pPrinter->OnCell(cell);
        }
    }
    void OnWarning(std::string_view message) override
    {
        if (m_pfnWarn != nullptr) {
            m_pfnWarn(m_pWarnContext, message);
        }
    }
    void Close()
    {
        if (!m_pPrinter) {
            return;
        }
        m_pPrinter->Finish();
        m_pPrinter.reset();
        m_out.Flush();
        m_pfnClose(m_pContext, m_pf);
        m_pf = nullptr;
    }

private:
    static void WriteSheetPiece(void *pContext, std::string *ps)
    {
        FILE *pf = *static_cast<FILE **>(pContext);
        if (pf != nullptr) {
            WritePiece(pf, ps);
        }
    }

    FILE *m_pf = nullptr;
    BufferedOutput m_out;
    std::unique_ptr<CsvPrinter> m_pPrinter;
    CellChoice m_choice;
    SheetFileOpener m_pfnOpen;
    SheetFileCloser m_pfnClose;
    void *m_pContext;
    WarningSink m_pfnWarn;
    void *m_pWarnContext;
};

} // namespace

bool WriteCsvSheetFiles(const WorkbookStream &stream, const WorkbookSelection &selection,
                        SheetFileOpener pfnOpen, SheetFileCloser pfnClose, void *pContext,
                        WarningSink pfnWarn, void *pWarnContext, WorkbookError *pError)
{
    CsvSheetFiles files(CellChoice{selection.fRawValues, selection.fFormulas}, pfnOpen, pfnClose, pContext,
                        pfnWarn, pWarnContext);
    bool fOk = ReadSelection(stream, selection, files.Meter(), WrittenBudget(stream), &files, nullptr,
                             nullptr, pError);
    files.Close();
    return fOk;
}
