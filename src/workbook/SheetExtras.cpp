// A sheet's extras. Custom views repeat the page set-up records with their own values: only
// the sheet's own count. A chart runs from its BOF to the EOF at the same depth; every record
// between goes to the chart's collector, whatever it is. A hyperlink longer than a record
// goes on in CONTINUE records: it is read once the record after them comes.
#include "workbook/SheetExtras.h"

#include <algorithm>

#include "biff/ByteCursor.h"
#include "biff/RecordTypes.h"
#include "recordtext/HeaderFooter.h"
#include "workbook/Workbook.h"

namespace {

const uint16_t dtChart = 0x0020; // a BOF's substream type: a chart

enum {
    iHeader,
    iFooter,
    iHeaderFirst,
    iFooterFirst,
    iHeaderEven,
    iFooterEven
};

} // namespace

SheetExtras::SheetExtras(CodePageDecoder &decoder) : m_decoder(decoder), m_chart(true, decoder) {}

void SheetExtras::Warn(const char *psz)
{
    // Each kind of damage once per sheet, however many records have it.
    if (std::find(m_rgWarning.begin(), m_rgWarning.end(), psz) == m_rgWarning.end()) {
        m_rgWarning.push_back(psz);
    }
}

void SheetExtras::Start(uint32_t iSheet, int nBiff)
{
    m_iSheet = iSheet;
    m_nBiff = nBiff;
    m_nChartDepth = 0;
    m_fInCustomView = false;
    for (std::string &raw : m_rgsPageRaw) {
        raw.clear();
    }
    m_rgLink.clear();
    m_fLinkPending = false;
    m_rgChart.clear();
    m_rgWarning.clear();
    m_chart.Finish();
    m_chart.SetBiff8(nBiff >= 8);
}

void SheetExtras::FinishLink()
{
    m_fLinkPending = false;
    m_rgLink.emplace_back();
    if (!ReadHlink(m_linkBody.data(), m_linkBody.size(), m_ansi, &m_rgLink.back())) {
        Warn("a hyperlink is damaged or of a kind not known; what it holds is kept");
    }
}

void SheetExtras::OnRecord(uint16_t wType, const uint8_t *pb, size_t cb, int nDepth)
{
    if (m_fLinkPending && wType == rtContinue) {
        m_linkBody.insert(m_linkBody.end(), pb, pb + cb);
        return;
    }
    if (m_fLinkPending) {
        FinishLink();
    }
    if (IsBofType(wType)) {
        ByteCursor bof(pb, cb);
        bof.Skip(2); // the version
        if (m_nChartDepth == 0 && bof.Le16() == dtChart) {
            m_nChartDepth = nDepth;
        }
        return;
    }
    if (wType == rtEof) {
        if (m_nChartDepth != 0 && nDepth == m_nChartDepth) {
            m_rgChart.push_back(m_chart.Finish());
            m_nChartDepth = 0;
        }
        return;
    }
    if (m_nChartDepth != 0) {
        m_chart.OnRecord(wType, pb, cb);
    }
    // A chart sheet's own page set-up is its headers and footers, as a worksheet's is.
    bool fPageSetup = wType == rtHeader || wType == rtFooter || wType == rtHeaderFooter;
    if (nDepth == 1 && (m_nChartDepth == 0 || fPageSetup)) {
        OnSheetRecord(wType, pb, cb);
    }
}

void SheetExtras::OnSheetRecord(uint16_t wType, const uint8_t *pb, size_t cb)
{
    bool fBiff8 = m_nBiff >= 8;
    switch (wType) {
    case rtUserSViewBegin: m_fInCustomView = true; break;
    case rtUserSViewEnd: m_fInCustomView = false; break;
    case rtHeader:
    case rtFooter:
        if (!m_fInCustomView &&
            !ReadHeaderFooterRecord(pb, cb, fBiff8, m_decoder,
                                    &m_rgsPageRaw[wType == rtHeader ? iHeader : iFooter])) {
            Warn("a page header or footer is cut short");
        }
        break;
    case rtHeaderFooter: {
        HeaderFooterVariants variants;
        bool fOk = ReadHeaderFooterVariants(pb, cb, &variants);
        if (variants.fCustomView || m_fInCustomView) {
            break;
        }
        if (!fOk) {
            Warn("the first-page and even-page headers are cut short");
        }
        if (variants.fDiffFirst) {
            m_rgsPageRaw[iHeaderFirst] = std::move(variants.headerFirst);
            m_rgsPageRaw[iFooterFirst] = std::move(variants.footerFirst);
        }
        if (variants.fDiffOddEven) {
            m_rgsPageRaw[iHeaderEven] = std::move(variants.headerEven);
            m_rgsPageRaw[iFooterEven] = std::move(variants.footerEven);
        }
        break;
    }
    case rtHLink:
        if (!fBiff8) {
            break;
        }
        m_linkBody.assign(pb, pb + cb);
        m_fLinkPending = true;
        break;
    case rtHLinkTooltip:
        if (m_rgLink.empty() || !ReadHlinkTooltip(pb, cb, &m_rgLink.back())) {
            Warn("a hyperlink's tooltip names no hyperlink before it");
        }
        break;
    default: break;
    }
}

void SheetExtras::Emit(WorkbookVisitor &visitor, std::vector<std::string> *prgWarning)
{
    if (m_fLinkPending) {
        FinishLink();
    }
    if (m_nChartDepth != 0) {
        // A chart cut off before its EOF still shows what it holds.
        m_rgChart.push_back(m_chart.Finish());
        m_nChartDepth = 0;
    }
    static const char *const rgpszPages[] = {"", "", "first", "first", "even", "even"};
    for (size_t i = 0; i < 6; i++) {
        std::string text = DecodeHeaderFooter(m_rgsPageRaw[i]);
        if (!text.empty()) {
            visitor.OnPageText(PageText{m_iSheet, i % 2 == 1, rgpszPages[i], text});
        }
    }
    for (const HyperlinkRecord &link : m_rgLink) {
        visitor.OnHyperlink(Hyperlink{m_iSheet, link.rowFirst, link.colFirst, link.rowLast, link.colLast,
                                      link.target, link.description, link.tooltip});
    }
    for (const ChartText &chart : m_rgChart) {
        if (chart.fDamaged) {
            Warn("a chart's text is cut short");
        }
        if (!chart.title.empty() || !chart.series.empty() || !chart.axes.empty() || !chart.labels.empty()) {
            visitor.OnChart(Chart{m_iSheet, chart});
        }
    }
    prgWarning->insert(prgWarning->end(), m_rgWarning.begin(), m_rgWarning.end());
}
