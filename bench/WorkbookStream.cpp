// Builds the benchmark workbook stream: a string table laid out as writers lay it out
// (headers never cut, characters cut with a fresh flags byte, runs cut anywhere), and
// sheets whose cells point into it; and the compound document every generator writes.
#include "WorkbookStream.h"

#include <stdint.h>
#include <stdio.h>

#include <random>
#include <string>

#include "support/CfbWriter.h"

namespace {

const uint16_t wBof = 0x0809, wEof = 0x000A, wWriteAccess = 0x005C, wBoundSheet = 0x0085, wSst = 0x00FC,
               wContinue = 0x003C, wLabelSst = 0x00FD, wLabel = 0x0204, wNumber = 0x0203;
const size_t cbMaxBody = 8224;
const int cSheets = 4;

struct TableString {
    bool fHigh;
    Bytes chars; // 8-bit bytes or UTF-16LE units
    uint16_t cch;
    uint16_t cRun;
};

// Words of Latin letters, of Cyrillic letters, or of both; the mix makes about half the
// strings 16-bit, as in a workbook of Russian and English text.
TableString MakeString(std::mt19937 &rng)
{
    TableString s;
    int nKind = static_cast<int>(rng() % 10);
    s.fHigh = nKind >= 4;
    // Mostly short cells, some paragraphs: long strings are the ones a record end cuts.
    size_t cchWant = rng() % 8 == 0 ? 200 + rng() % 1800 : 4 + rng() % 60;
    size_t cch = 0;
    while (cch < cchWant) {
        size_t cchWord = 2 + rng() % 9;
        bool fCyrillic = nKind >= 7 || (nKind >= 4 && rng() % 2 == 0);
        for (size_t i = 0; i < cchWord && cch < cchWant; i++, cch++) {
            uint16_t w = fCyrillic ? static_cast<uint16_t>(0x410 + rng() % 64)
                                   : static_cast<uint16_t>((i == 0 ? 'A' : 'a') + rng() % 26);
            s.chars.push_back(static_cast<uint8_t>(w));
            if (s.fHigh) {
                s.chars.push_back(static_cast<uint8_t>(w >> 8));
            }
        }
        if (cch < cchWant) {
            s.chars.push_back(' ');
            if (s.fHigh) {
                s.chars.push_back(0);
            }
            cch++;
        }
    }
    s.cch = static_cast<uint16_t>(cch);
    s.cRun = rng() % 16 == 0 ? static_cast<uint16_t>(1 + rng() % 3) : 0;
    return s;
}

// Fills the table's records, starting a CONTINUE whenever the current one is full.
class TableWriter {
public:
    TableWriter(BiffStream &stream, WorkbookStats &stats, bool fWholeRuns)
            : m_stream(stream), m_stats(stats), m_fWholeRuns(fWholeRuns)
    {}

    void Add(const TableString &s)
    {
        Bytes header =
            Cat({Le16(s.cch), {static_cast<uint8_t>((s.fHigh ? 0x01 : 0x00) | (s.cRun ? 0x08 : 0x00))}});
        if (s.cRun) {
            header = Cat({header, Le16(s.cRun)});
        }
        if (m_body.size() + header.size() + (s.fHigh ? 2 : 1) > cbMaxBody) {
            Flush();
        }
        m_body.insert(m_body.end(), header.begin(), header.end());
        size_t ib = 0;
        bool fCut = false;
        while (ib < s.chars.size()) {
            size_t cbRoom = cbMaxBody - m_body.size();
            if (s.fHigh) {
                cbRoom &= ~static_cast<size_t>(1);
            }
            if (cbRoom == 0) {
                Flush();
                m_body.push_back(s.fHigh ? 0x01 : 0x00);
                fCut = true;
                continue;
            }
            size_t cb = s.chars.size() - ib < cbRoom ? s.chars.size() - ib : cbRoom;
            m_body.insert(m_body.end(), s.chars.begin() + ib, s.chars.begin() + ib + cb);
            ib += cb;
        }
        for (uint16_t i = 0; i < s.cRun; i++) {
            Bytes run = Cat({Le16(i), Le16(1)});
            if (m_fWholeRuns && m_body.size() + run.size() > cbMaxBody) {
                Flush();
            }
            for (uint8_t b : run) {
                if (m_body.size() == cbMaxBody) {
                    Flush();
                }
                m_body.push_back(b);
            }
        }
        m_stats.cStrings++;
        m_stats.cCutStrings += fCut ? 1 : 0;
    }

    void Flush()
    {
        m_stream.Record(m_fFirst ? wSst : wContinue, m_body);
        m_stats.cContinues += m_fFirst ? 0 : 1;
        m_fFirst = false;
        m_body.clear();
    }

    void Start(uint32_t cTotal, uint32_t cUnique) { m_body = Cat({Le32(cTotal), Le32(cUnique)}); }

private:
    BiffStream &m_stream;
    WorkbookStats &m_stats;
    Bytes m_body;
    bool m_fWholeRuns;
    bool m_fFirst = true;
};

void Patch32(Bytes &bytes, size_t ib, uint32_t dw)
{
    for (int i = 0; i < 4; i++) {
        bytes[ib + i] = static_cast<uint8_t>(dw >> (8 * i));
    }
}

} // namespace

Bytes MakeWorkbookStream(size_t cbTarget, unsigned nSeed, WorkbookStats *pStats, bool fWholeRuns)
{
    std::mt19937 rng(nSeed);
    WorkbookStats stats;
    BiffStream s;
    s.bytes.reserve(cbTarget + (1 << 20));
    s.Record(wBof, Cat({Le16(0x0600), Le16(0x0005), Bytes(12, 0)}));
    s.Record(wWriteAccess, Cat({Le16(11), {0x00}, Ascii("Bench Maker"), Bytes(98, ' ')}));
    // Each sheet entry points at its sheet's BOF; the offsets are filled in once known.
    size_t rgibSheetPos[cSheets];
    for (int i = 0; i < cSheets; i++) {
        std::string sName = "Sheet" + std::to_string(i + 1);
        rgibSheetPos[i] = s.bytes.size() + 4;
        s.Record(wBoundSheet,
                 Cat({Le32(0), Le16(0), {static_cast<uint8_t>(sName.size()), 0x00}, Ascii(sName)}));
    }
    // Nine tenths of the stream is the table; the sheets' cells take the rest.
    TableWriter table(s, stats, fWholeRuns);
    size_t ibCounts = s.bytes.size() + 4;
    table.Start(0, 0);
    size_t cbTable = cbTarget / 10 * 9;
    while (s.bytes.size() < cbTable) {
        table.Add(MakeString(rng));
    }
    table.Flush();
    Patch32(s.bytes, ibCounts, static_cast<uint32_t>(stats.cStrings));
    Patch32(s.bytes, ibCounts + 4, static_cast<uint32_t>(stats.cStrings));
    s.Record(wEof, {});
    uint32_t iCell = 0;
    for (int iSheet = 0; iSheet < cSheets && s.bytes.size() < cbTarget; iSheet++) {
        Patch32(s.bytes, rgibSheetPos[iSheet], static_cast<uint32_t>(s.bytes.size()));
        s.Record(wBof, Cat({Le16(0x0600), Le16(0x0010), Bytes(12, 0)}));
        size_t cbSheetEnd = s.bytes.size() + (cbTarget - s.bytes.size()) / (cSheets - iSheet);
        while (s.bytes.size() < cbSheetEnd) {
            uint16_t wRow = static_cast<uint16_t>(iCell / 8), wCol = static_cast<uint16_t>(iCell % 8);
            if (iCell % 16 == 5) {
                s.Record(wNumber, Cat({Le16(wRow), Le16(wCol), Le16(0), Bytes(8, 0x40)}));
            } else if (iCell % 64 == 9) {
                s.Record(wLabel, Cat({Le16(wRow), Le16(wCol), Le16(0), Le16(9), {0x00}, Ascii("old label")}));
            } else {
                s.Record(wLabelSst, Cat({Le16(wRow), Le16(wCol), Le16(0), Le32(iCell % stats.cStrings)}));
            }
            iCell++;
        }
        s.Record(wEof, {});
    }
    if (pStats != nullptr) {
        *pStats = stats;
    }
    return s.bytes;
}

bool WriteWorkbookFile(const char *pszPath, const Bytes &stream, size_t *pcbFile)
{
    std::string sFile =
        WriteCfb({{u"Workbook", std::string(stream.begin(), stream.end()), false}}, CfbOptions(), nullptr);
    FILE *pf = fopen(pszPath, "wb");
    if (pf == nullptr || fwrite(sFile.data(), 1, sFile.size(), pf) != sFile.size() || fclose(pf) != 0) {
        fprintf(stderr, "cannot write %s\n", pszPath);
        return false;
    }
    if (pcbFile != nullptr) {
        *pcbFile = sFile.size();
    }
    return true;
}
