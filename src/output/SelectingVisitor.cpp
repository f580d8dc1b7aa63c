// Selection and the written-bytes budget between the reader and the printers. The reader
// bounds repeated text in decoded bytes; escapes (six bytes for a control character in JSON),
// empty columns and the keys of every JSON object grow it again, so what is written is bounded
// where it is written.
#include "output/SelectingVisitor.h"

#include <stdint.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "output/CaseFold.h"

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
    {
        if (IsName()) {
            m_foldedWant = FoldCase(selection.sheet);
        }
    }
    // What saved it is kept with the properties, and left out with them.
    void OnWorkbook(const WorkbookInfo &info) override
    {
        WorkbookInfo kept = info;
        kept.fAuthor = m_selection.fProperties && info.fAuthor;
        std::string author(kept.fAuthor ? info.author : std::string_view());
        Defer([this, kept, author]() mutable {
            kept.author = author;
            m_pTarget->OnWorkbook(kept);
        });
    }
    bool WantsShown() const override { return m_pTarget->WantsShown(); }
    bool WantsFormulas() const override { return m_pTarget->WantsFormulas(); }
    const FormatLocale &Locale() const override { return *m_selection.pLocale; }
    // A sheet not selected is only walked: neither its cells nor its damage are of interest.
    bool WantsSheet(const SheetInfo &) override { return m_fIn; }
    void OnSheet(const SheetInfo &sheet) override
    {
        // One sheet asked for is one sheet printed, the first of that name.
        m_fIn = IsSelected(sheet) && !(m_fFound && !m_selection.sheet.empty());
        m_fFound = m_fFound || m_fIn;
        if (!m_fFound && m_iFolded == UINT32_MAX && IsName() && FoldCase(sheet.name) == m_foldedWant) {
            m_iFolded = sheet.iSheet;
        }
        if (m_fIn) {
            m_iIn = sheet.iSheet;
            PassDeferred();
        }
        if (m_fIn && WithinBudget()) {
            m_pTarget->OnSheet(sheet);
        }
    }
    void OnCell(const Cell &cell) override
    {
        if (m_fIn && WithinBudget()) {
            m_pTarget->OnCell(cell);
        }
    }
    void OnComment(const Comment &comment) override
    {
        if (m_fIn && m_selection.fNotes && WithinBudget()) {
            m_pTarget->OnComment(comment);
        }
    }
    void OnTextBox(const TextBox &box) override
    {
        if (m_fIn && m_selection.fNotes && WithinBudget()) {
            m_pTarget->OnTextBox(box);
        }
    }
    void OnProperties(const DocumentProperties &props) override
    {
        if (m_selection.fProperties) {
            Defer([this, props]() {
                if (WithinBudget()) {
                    m_pTarget->OnProperties(props);
                }
            });
        }
    }
    void OnPageText(const PageText &page) override
    {
        if (m_fIn && m_selection.fNotes && WithinBudget()) {
            m_pTarget->OnPageText(page);
        }
    }
    void OnHyperlink(const Hyperlink &link) override
    {
        if (m_fIn && WithinBudget()) {
            m_pTarget->OnHyperlink(link);
        }
    }
    void OnChart(const Chart &chart) override
    {
        if (m_fIn && m_selection.fNotes && WithinBudget()) {
            m_pTarget->OnChart(chart);
        }
    }
    // The modules come after the last sheet: with a sheet asked for, once it was found.
    void OnVbaModule(const VbaModule &module) override
    {
        if (m_selection.fMacros && (m_fFound || m_selection.sheet.empty()) && WithinBudget()) {
            m_pTarget->OnVbaModule(module);
        }
    }
    void OnHidden(const HiddenSpan &span) override
    {
        if (m_fIn && WithinBudget()) {
            m_pTarget->OnHidden(span);
        }
    }
    void OnMerge(const MergedRange &range) override
    {
        if (m_fIn && WithinBudget()) {
            m_pTarget->OnMerge(range);
        }
    }
    // The workbook's links and names come before its sheets, and wait with its properties.
    void OnExternalLink(const ExternalLink &link) override
    {
        Defer([this, kept = link, path = std::string(link.path)]() mutable {
            kept.path = path;
            if (WithinBudget()) {
                m_pTarget->OnExternalLink(kept);
            }
        });
    }
    // One sheet asked for keeps the workbook's names and its own, not those of other sheets.
    void OnName(const DefinedName &name) override
    {
        Defer([this, kept = name, text = std::string(name.name),
               formula = std::string(name.formula)]() mutable {
            kept.name = text;
            kept.formula = formula;
            bool fOwn = kept.iSheet == DefinedName::iSheetBook || kept.iSheet == m_iIn;
            if ((m_selection.sheet.empty() || fOwn) && WithinBudget()) {
                m_pTarget->OnName(kept);
            }
        });
    }
    void OnWarning(std::string_view message) override
    {
        if (m_firstWarning.empty()) {
            m_firstWarning.assign(message);
        }
        Defer([this, text = std::string(message)]() {
            m_pTarget->OnWarning(text);
            if (m_pfnWarn != nullptr) {
                m_pfnWarn(m_pContext, text);
            }
        });
    }
    bool Found() const { return m_fFound; }
    // The first sheet whose name is the one asked for in another letter case, when none had
    // it exactly (UINT32_MAX: none).
    uint32_t FoldedMatch() const { return m_fFound ? UINT32_MAX : m_iFolded; }
    const std::string &FirstWarning() const { return m_firstWarning; }

private:
    // A number is an index, anything else a name; with fByName always a name.
    bool IsName() const
    {
        const std::string &want = m_selection.sheet;
        return !want.empty() &&
               (m_selection.fByName || want.find_first_not_of("0123456789") != std::string::npos);
    }
    // Nothing reaches the printer before the first sheet it prints: a workbook that turns out
    // to have none to print (a --sheet not there) writes nothing at all.
    void Defer(std::function<void()> &&pass)
    {
        if (m_fPassing) {
            pass();
        } else {
            m_rgDeferred.push_back(std::move(pass));
        }
    }
    void PassDeferred()
    {
        m_fPassing = true;
        for (const std::function<void()> &pass : m_rgDeferred) {
            pass();
        }
        m_rgDeferred.clear();
    }
    bool IsSelected(const SheetInfo &sheet) const
    {
        const std::string &want = m_selection.sheet;
        if (want.empty()) {
            return true;
        }
        if (IsName()) {
            return sheet.name == want;
        }
        size_t i = want.find_first_not_of('0');
        std::string digits = i == std::string::npos ? "0" : want.substr(i);
        return digits == std::to_string(sheet.iSheet);
    }
    bool WithinBudget()
    {
        if (m_meter.Written() <= m_cbBudget) {
            return true;
        }
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
    uint32_t m_iIn = 0; // the sheet passed on last
    bool m_fFound = false;
    bool m_fCut = false;
    std::string m_firstWarning;
    std::string m_foldedWant;
    uint32_t m_iFolded = UINT32_MAX;
    bool m_fPassing = false;
    std::vector<std::function<void()>> m_rgDeferred;
};

} // namespace

namespace {

uint64_t BytesRead(const WorkbookStream &stream)
{
    uint64_t cb = stream.cbData + stream.vba.cbRead;
    for (const EmbeddedObject &object : stream.embedded) {
        cb += object.workbook ? BytesRead(*object.workbook) : 0;
    }
    return cb;
}

} // namespace

size_t WrittenBudget(const WorkbookStream &stream)
{
    uint64_t cbRead = BytesRead(stream);
    return cbRead > (SIZE_MAX - cbWrittenFloor) / cbWrittenPerStreamByte
               ? SIZE_MAX
               : cbWrittenPerStreamByte * (size_t)cbRead + cbWrittenFloor;
}

bool ReadSelection(const WorkbookStream &stream, const WorkbookSelection &selection,
                   const WrittenMeter &meter, size_t cbBudget, WorkbookVisitor *pPrinter, WarningSink pfnWarn,
                   void *pContext, WorkbookError *pError)
{
    SelectingVisitor selector(selection, meter, cbBudget, pPrinter, pfnWarn, pContext);
    if (!ReadWorkbook(stream, selector, pError)) {
        return false;
    }
    // No sheet has the name exactly: the first that has it in another letter case, as
    // spreadsheet programs match sheet names. The first reading passed nothing on.
    if (selector.FoldedMatch() != UINT32_MAX) {
        WorkbookSelection byNumber = selection;
        byNumber.sheet = std::to_string(selector.FoldedMatch());
        byNumber.fByName = false;
        SelectingVisitor second(byNumber, meter, cbBudget, pPrinter, pfnWarn, pContext);
        return ReadWorkbook(stream, second, pError);
    }
    if (!selector.Found()) {
        // Without a sheet asked for, the reason there is none is what the user needs.
        pError->kind = WorkbookErrorKind::NoSuchSheet;
        if (!selection.sheet.empty()) {
            pError->message = "no sheet " + std::string(selection.fByName ? "named" : "named or numbered") +
                              " '" + selection.sheet + "'";
        } else if (!selector.FirstWarning().empty()) {
            pError->message = "no sheet could be read: " + selector.FirstWarning();
        } else {
            pError->message = "the workbook has no sheets";
        }
        return false;
    }
    return true;
}
