// What a sheet's substream holds besides cells and drawings: its headers and footers, its
// hyperlinks and the text of its charts, gathered while the sheet is read, handed on after.
#ifndef CELLSIFT_WORKBOOK_SHEETEXTRAS_H
#define CELLSIFT_WORKBOOK_SHEETEXTRAS_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "recordtext/ChartText.h"
#include "recordtext/Hyperlink.h"
#include "unicode/TextDecode.h"

class WorkbookVisitor;

class SheetExtras {
public:
    // decoder: the workbook's code page, for the byte strings of BIFF2-7 sheets.
    explicit SheetExtras(CodePageDecoder &decoder);

    // Starts the sheet iSheet of a BIFF nBiff workbook.
    void Start(uint32_t iSheet, int nBiff);
    // Every record of the substream in order, its BOF and EOF and those of the charts in it
    // included; nDepth is the reader's count: a BOF's or EOF's the substream's it opens or closes.
    void OnRecord(uint16_t wType, const uint8_t *pb, size_t cb, int nDepth);
    // True while the records are a chart's (a chart sheet, or a chart inside the sheet), which
    // hold no cells of the sheet.
    bool FInChart() const { return m_nChartDepth != 0; }
    // Hands the sheet's headers and footers, hyperlinks and charts to the visitor; damage is
    // described in *prgWarning.
    void Emit(WorkbookVisitor &visitor, std::vector<std::string> *prgWarning);

private:
    void OnSheetRecord(uint16_t wType, const uint8_t *pb, size_t cb);
    // Reads the hyperlink gathered in m_linkBody.
    void FinishLink();
    void Warn(const char *psz);

    CodePageDecoder &m_decoder;
    CodePageDecoder m_ansi; // the 8-bit paths of file links, in the writer's Windows code page
    ChartTextCollector m_chart;
    uint32_t m_iSheet = 0;
    int m_nBiff = 8;
    int m_nChartDepth = 0;        // the depth of the open chart's BOF, 0 when none is open
    bool m_fInCustomView = false; // between USERSVIEWBEGIN and USERSVIEWEND
    // Header, footer, then the first-page and even-page ones, raw; whether each was there.
    std::string m_rgsPageRaw[6];
    std::vector<HyperlinkRecord> m_rgLink;
    std::vector<uint8_t> m_linkBody; // an HLINK's body and its CONTINUE records' after it
    bool m_fLinkPending = false;
    std::vector<ChartText> m_rgChart;
    std::vector<std::string> m_rgWarning;
};

#endif
