// Selection and the written-bytes budget between the reader and the printers. The reader
// bounds repeated text in decoded bytes; escapes (six bytes for a control character in JSON),
// empty columns and the keys of every JSON object grow it again, so what is written is bounded
// where it is written.
#include "output/SelectingVisitor.h"

#include <stdint.h>

#include <string>
#include <string_view>

namespace {

// What a workbook may write: this many bytes per byte of its stream, and a floor for small ones.
const size_t cbWrittenPerStreamByte = 128;
const size_t cbWrittenFloor = 1 << 20;

// Passes on the parts of the workbook the selection keeps while the output is within its
// budget, and every warning also to the sink when one is given (JSON lines, whose printer
// keeps warnings in its output).
class SelectingVisitor : public WorkbookVisitor {
public:
    SelectingVisitor(const WorkbookSelection &selection, const WrittenMeter &meter, size_t cbBudget,
                     WorkbookVisitor *pTarget, WarningSink pfnWarn, void *pContext)
            : m_selection(selection), m_meter(meter), m_cbBudget(cbBudget), m_pTarget(pTarget),
              m_pfnWarn(pfnWarn), m_pContext(pContext)
    {}
    void OnWorkbook(const WorkbookInfo &info) override { m_pTarget->OnWorkbook(info); }
    bool WantsShown() const override { return m_pTarget->WantsShown(); }
    void OnSheet(const SheetInfo &sheet) override
    {
        m_fIn = IsSelected(sheet);
        m_fFound = m_fFound || m_fIn;
        if (m_fIn && WithinBudget())
            m_pTarget->OnSheet(sheet);
    }
    void OnCell(const Cell &cell) override
    {
        if (m_fIn && WithinBudget())
            m_pTarget->OnCell(cell);
    }
    void OnComment(const Comment &comment) override
    {
        if (m_fIn && m_selection.fNotes && WithinBudget())
            m_pTarget->OnComment(comment);
    }
    void OnTextBox(const TextBox &box) override
    {
        if (m_fIn && m_selection.fNotes && WithinBudget())
            m_pTarget->OnTextBox(box);
    }
    void OnProperties(const DocumentProperties &props) override
    {
        if (m_selection.fProperties && WithinBudget())
            m_pTarget->OnProperties(props);
    }
    void OnPageText(const PageText &page) override
    {
        if (m_fIn && m_selection.fNotes && WithinBudget())
            m_pTarget->OnPageText(page);
    }
    void OnHyperlink(const Hyperlink &link) override
    {
        if (m_fIn && WithinBudget())
            m_pTarget->OnHyperlink(link);
    }
    void OnChart(const Chart &chart) override
    {
        if (m_fIn && m_selection.fNotes && WithinBudget())
            m_pTarget->OnChart(chart);
    }
    void OnWarning(std::string_view message) override
    {
        if (m_firstWarning.empty())
            m_firstWarning.assign(message);
        m_pTarget->OnWarning(message);
        if (m_pfnWarn != nullptr)
            m_pfnWarn(m_pContext, message);
    }
    bool Found() const { return m_fFound; }
    const std::string &FirstWarning() const { return m_firstWarning; }

private:
    // A number is an index, anything else a name; with fByName always a name.
    bool IsSelected(const SheetInfo &sheet) const
    {
        const std::string &want = m_selection.sheet;
        if (want.empty())
            return true;
        if (m_selection.fByName || want.find_first_not_of("0123456789") != std::string::npos)
            return sheet.name == want;
        size_t i = want.find_first_not_of('0');
        std::string digits = i == std::string::npos ? "0" : want.substr(i);
        return digits == std::to_string(sheet.iSheet);
    }
    bool WithinBudget()
    {
        if (m_meter.Written() <= m_cbBudget)
            return true;
        if (!m_fCut) {
            m_fCut = true;
            OnWarning("the output reached " + std::to_string(cbWrittenPerStreamByte) +
                      " bytes per byte of the workbook stream; the rest is left out");
        }
        return false;
    }

    const WorkbookSelection &m_selection;
    const WrittenMeter &m_meter;
    size_t m_cbBudget;
    WorkbookVisitor *m_pTarget;
    WarningSink m_pfnWarn;
    void *m_pContext;
    bool m_fIn = false;
    bool m_fFound = false;
    bool m_fCut = false;
    std::string m_firstWarning;
};

} // namespace

bool ReadSelection(const WorkbookStream &stream, const WorkbookSelection &selection,
                   const WrittenMeter &meter, WorkbookVisitor *pPrinter, WarningSink pfnWarn, void *pContext,
                   WorkbookError *pError)
{
    size_t cbBudget = stream.cbData > (SIZE_MAX - cbWrittenFloor) / cbWrittenPerStreamByte
                          ? SIZE_MAX
                          : cbWrittenPerStreamByte * stream.cbData + cbWrittenFloor;
    SelectingVisitor selector(selection, meter, cbBudget, pPrinter, pfnWarn, pContext);
    if (!ReadWorkbook(stream, selector, pError))
        return false;
    if (!selector.Found()) {
        // Without a sheet asked for, the reason there is none is what the user needs.
        pError->kind = WorkbookErrorKind::NoSuchSheet;
        if (!selection.sheet.empty())
            pError->message = "no sheet " + std::string(selection.fByName ? "named" : "named or numbered") +
                              " '" + selection.sheet + "'";
        else if (!selector.FirstWarning().empty())
            pError->message = "no sheet could be read: " + selector.FirstWarning();
        else
            pError->message = "the workbook has no sheets";
        return false;
    }
    return true;
}
