// The text of a chart, gathered from the records of its substream: the title, the series
// names, the axis titles and the text of data labels, each in the order stored.
#ifndef CELLSIFT_RECORDTEXT_CHARTTEXT_H
#define CELLSIFT_RECORDTEXT_CHARTTEXT_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

class CodePageDecoder;

struct ChartText {
    std::string title;
    std::vector<std::string> series; // the names of the series that have one of their own
    std::vector<std::string> axes;
    std::vector<std::string> labels;
    bool fDamaged = false; // a record was cut short: the text it held may be incomplete
};

// Fed every record of one chart substream, from its BOF to its EOF, in order. A TEXT record
// opens a block (BEGIN ... END) whose OBJECTLINK says what it labels and whose SERIESTEXT
// holds the words; a SERIESTEXT outside any such block names the current series.
class ChartTextCollector {
public:
    ChartTextCollector(bool fBiff8, CodePageDecoder &decoder);

    // For the charts of a workbook of another version: BIFF8 strings are unicode strings.
    void SetBiff8(bool fBiff8) { m_fBiff8 = fBiff8; }
    void OnRecord(uint16_t wType, const uint8_t *pb, size_t cb);
    // The chart read so far; the collector is empty again after.
    ChartText Finish();

private:
    void EndTextBlock();

    bool m_fBiff8;
    CodePageDecoder &m_decoder;
    ChartText m_chart;
    size_t m_nDepth;
    bool m_fTextPending; // a TEXT record was read; its block starts at the next BEGIN
    size_t m_nTextDepth; // the depth inside the open text block, 0 when none is open
    uint16_t m_wLinkObj; // what the open text block labels, from its OBJECTLINK
    bool m_fSeriesNamed; // the current series has its name, or no series is open
    std::string m_sText;
};

#endif
