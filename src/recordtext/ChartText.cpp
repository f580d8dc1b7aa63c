// Chart text from the chart records. Blocks nest by BEGIN and END; only the depth at which a
// text block was opened ends it, so the font and position records inside it are passed over.
#include "recordtext/ChartText.h"

#include "biff/RecordTypes.h"
#include "recordtext/RecordStrings.h"

namespace {

// What an OBJECTLINK attaches its text to.
const uint16_t linkTitle = 1;
const uint16_t linkValueAxis = 2;
const uint16_t linkCategoryAxis = 3;
const uint16_t linkSeriesAxis = 7;

} // namespace

ChartTextCollector::ChartTextCollector(bool fBiff8, CodePageDecoder &decoder)
        : m_fBiff8(fBiff8), m_decoder(decoder), m_nDepth(0), m_fTextPending(false), m_nTextDepth(0),
          m_wLinkObj(0), m_fSeriesNamed(true)
{}

void ChartTextCollector::OnRecord(uint16_t wType, const uint8_t *pb, size_t cb)
{
    switch (wType) {
    case rtBegin:
        m_nDepth++;
        if (m_fTextPending) {
            m_nTextDepth = m_nDepth;
        }
        m_fTextPending = false;
        break;
    case rtEnd:
        if (m_nTextDepth != 0 && m_nDepth == m_nTextDepth) {
            EndTextBlock();
        }
        if (m_nDepth > 0) {
            m_nDepth--;
        }
        break;
    case rtText:
        if (m_nTextDepth == 0) {
            m_fTextPending = true;
            m_wLinkObj = 0;
            m_sText.clear();
        }
        break;
    case rtObjectLink:
        if (m_nTextDepth != 0) {
            m_wLinkObj = ByteCursor(pb, cb).Le16();
        }
        break;
    case rtSeries:
        if (m_nTextDepth == 0) {
            m_fSeriesNamed = false;
        }
        break;
    case rtSeriesText: {
        ByteCursor body(pb, cb);
        SkipUpTo(&body, 2); // the text's id, always 0
        std::string text;
        if (m_fBiff8) {
            ReadUnicodeString(&body, true, &text);
        } else {
            ReadByteString(&body, true, m_decoder, &text);
        }
        m_chart.fDamaged = m_chart.fDamaged || body.FShort();
        if (m_nTextDepth != 0) {
            m_sText = std::move(text);
        } else if (!m_fSeriesNamed) {
            m_chart.series.push_back(std::move(text));
            m_fSeriesNamed = true;
        }
        break;
    }
    default: break;
    }
}

void ChartTextCollector::EndTextBlock()
{
    m_nTextDepth = 0;
    if (m_sText.empty()) {
        return; // text the chart makes itself (values, a series' own name): nothing stored
    }
    if (m_wLinkObj == linkTitle && m_chart.title.empty()) {
        m_chart.title = std::move(m_sText);
    } else if (m_wLinkObj == linkValueAxis || m_wLinkObj == linkCategoryAxis ||
               m_wLinkObj == linkSeriesAxis) {
        m_chart.axes.push_back(std::move(m_sText));
    } else {
        m_chart.labels.push_back(std::move(m_sText));
    }
    m_sText.clear();
}

ChartText ChartTextCollector::Finish()
{
    ChartText chart = std::move(m_chart);
    m_chart = ChartText();
    m_nDepth = 0;
    m_fTextPending = false;
    m_nTextDepth = 0;
    m_fSeriesNamed = true;
    return chart;
}
