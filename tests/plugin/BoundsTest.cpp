// Resource bounds on hostile files: sizes the file claims but does not hold cost no memory,
// and the work done grows with the file's real size, measured as reads and pieces emitted.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "cellsift.h"
#include "log/ErrorFlag.h"
#include "plugin/Extraction.h"
#include "support/Biff.h"
#include "support/CfbWriter.h"
#include "xls/StreamAccess.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

// Counts what the portable reader asks of the file. The core is linked into this program,
// so its pread calls land here; the real read is the system call itself.
namespace {
bool g_fCountReads = false;
size_t g_cReads = 0;
size_t g_cbReads = 0;
} // namespace

extern "C" ssize_t pread(int fd, void *pv, size_t cb, off_t ib)
{
    if (g_fCountReads) {
        g_cReads++;
        g_cbReads += cb;
    }
    return static_cast<ssize_t>(syscall(SYS_pread64, fd, pv, cb, ib));
}
#endif

namespace {

const uint16_t wSst = 0x00FC, wContinue = 0x003C, wLabel = 0x0204, wTxo = 0x01B6;

[[maybe_unused]] std::string BoundsPath(const std::string &sName)
{
    return testing::TempDir() + "cellsift_bounds_" + sName;
}

[[maybe_unused]] void WriteFile(const std::string &sPath, const std::string &sBytes)
{
    FILE *pf = fopen(sPath.c_str(), "wb");
    ASSERT_NE(nullptr, pf) << sPath;
    ASSERT_EQ(sBytes.size(), fwrite(sBytes.data(), 1, sBytes.size(), pf));
    fclose(pf);
}

std::string AsString(const Bytes &bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// A workbook stream of about cb bytes made only of records whose every field is as large
// as its width allows: string counts, run counts, extension sizes and record lengths.
Bytes HostileStream(size_t cb, bool fClaimingTail = true)
{
    BiffStream s;
    while (s.bytes.size() < cb) {
        s.Record(wSst, Cat({Le32(0xFFFFFFFF),
                            Le32(0xFFFFFFFF),
                            {0xFF, 0xFF, 0x0D},
                            Le16(0xFFFF),
                            Le32(0xFFFFFFFF),
                            Ascii("abcdefgh")}));
        s.Record(wContinue, Cat({{0x01}, Bytes(40, 'x')}));
        s.Record(wLabel, Cat({Le16(0), Le16(0), Le16(15), Le16(0xFFFF), {0x00}, Ascii("cell")}));
        s.Record(wTxo, Cat({Bytes(10, 0), Le16(0xFFFF), Bytes(6, 0)}));
        s.Record(wContinue, Cat({{0x00}, Ascii("box")}));
        // A run of empty strings: the most pieces a byte count can give.
        Bytes empties;
        for (int i = 0; i < 100; i++) {
            empties = Cat({empties, {0x00, 0x00, 0x00}});
        }
        s.Record(wSst, Cat({Le32(0xFFFFFFFF), Le32(0xFFFFFFFF), empties}));
    }
    if (!fClaimingTail) {
        return s.bytes;
    }
    // The last record claims far more than is left.
    Bytes tail = Cat({Le16(wSst), Le16(0xFFFF), Le32(1), Le32(1), {0x05, 0x00, 0x00}, Ascii("end")});
    s.bytes.insert(s.bytes.end(), tail.begin(), tail.end());
    return s.bytes;
}

[[maybe_unused]] std::string WorkbookFile(const Bytes &stream, const CfbOptions &options, CfbLayout *pLayout)
{
    return WriteCfb({{u"Workbook", AsString(stream), false}}, options, pLayout);
}

// --- Memory ---

#ifndef _WIN32
long PeakRssKb()
{
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

// Runs fn in a child process and returns how far the child's peak resident size rose
// above what it had when it started, in KB; -1 when the child failed. A child starts with
// the parent's current size as its peak, so earlier tests' peaks do not hide growth.
template <typename Fn>
long PeakGrowthKb(Fn fn)
{
    int rgfd[2];
    if (pipe(rgfd) != 0) {
        return -1;
    }
    pid_t pid = fork();
    if (pid == 0) {
        close(rgfd[0]);
        long nBefore = PeakRssKb();
        bool fOk = fn();
        long nGrowth = fOk ? PeakRssKb() - nBefore : -1;
        ssize_t cb = write(rgfd[1], &nGrowth, sizeof(nGrowth));
        _exit(cb == sizeof(nGrowth) ? 0 : 1);
    }
    close(rgfd[1]);
    long nGrowth = -1;
    if (read(rgfd[0], &nGrowth, sizeof(nGrowth)) != sizeof(nGrowth)) {
        nGrowth = -1;
    }
    close(rgfd[0]);
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    return nGrowth;
}

// AddressSanitizer keeps freed blocks in quarantine, so resident size there says nothing
// about the code; the memory tests run in the plain builds.
#if defined(__SANITIZE_ADDRESS__)
#define CELLSIFT_MEASURE_RSS 0
#else
#define CELLSIFT_MEASURE_RSS 1
#endif

TEST(BoundsMemory, TheMeasurementSeesAnAllocationThatIsUsed)
{
    long nGrowth = PeakGrowthKb([] {
        std::string s(32u << 20, 'x');
        return s[12345] == 'x';
    });
    EXPECT_GE(nGrowth, 30 * 1024);
}

TEST(BoundsMemory, StreamSizesTheFileCannotHoldCostNothing)
{
    Bytes stream = HostileStream(8000);
    CfbLayout L;
    const std::string sFile = WorkbookFile(stream, CfbOptions(), &L);
    CfbOptions v4;
    v4.m_nMajor = 4;
    CfbLayout L4;
    const std::string sFile4 = WorkbookFile(stream, v4, &L4);
    const struct {
        const char *pszName;
        const std::string &sBase;
        size_t ib;
        uint32_t dw;
    } rgCase[] = {
        {"3 GB stream", sFile, L.IbDirEntry(1) + ibDirSize, 0xC0000000u},
        {"2 GB less one stream", sFile, L.IbDirEntry(1) + ibDirSize, 0x7FFFFFFFu},
        {"stream one sector larger than the file", sFile, L.IbDirEntry(1) + ibDirSize,
         static_cast<uint32_t>(sFile.size() + 512)},
        {"version 4 stream of a terabyte", sFile4, L4.IbDirEntry(1) + ibDirSize + 4, 0x100},
        {"billions of FAT sectors", sFile, ibHdrCsectFat, 0xFFFFFFF0u},
        {"billions of DIFAT sectors", sFile, ibHdrCsectDif, 0xFFFFFFF0u},
        {"mini stream of 3 GB", sFile, L.IbDirEntry(0) + ibDirSize, 0xC0000000u},
    };
    for (const auto &c : rgCase) {
        SCOPED_TRACE(c.pszName);
        std::string sBad = c.sBase;
        PatchLe32(&sBad, c.ib, c.dw);
        const std::string sPath = BoundsPath("claims.xls");
        WriteFile(sPath, sBad);
        long nGrowth = PeakGrowthKb([&] {
            // What the host does: learn the size (the declared one, as the system's reader
            // reports it), then ask for the text in a buffer no larger than the file.
            int cb = GetLengthOfTextPortion(sPath.c_str(), 0);
            size_t cbBuffer = std::min(static_cast<size_t>(static_cast<unsigned>(cb)), sBad.size());
            std::string sBuffer(cbBuffer + 1, '\0');
            GetTextPortionOfDocument(sPath.c_str(), &sBuffer[0], static_cast<int>(cbBuffer));
            return true;
        });
        remove(sPath.c_str());
        EXPECT_GE(nGrowth, 0);
        if (CELLSIFT_MEASURE_RSS) {
            EXPECT_LT(nGrowth, 2 * 1024);
        }
    }
    g_bError = 0;
}

// Runs fn in a child process whose address space may grow by cbExtra at most; true when fn
// returned true there. Without the limit (AddressSanitizer reserves terabytes of its own)
// fn still runs, so the calls are checked in every build.
template <typename Fn>
bool RunWithAddressSpaceLimit(size_t cbExtra, Fn fn)
{
    pid_t pid = fork();
    if (pid == 0) {
        long cPages = 0;
        FILE *pf = fopen("/proc/self/statm", "r");
        bool fKnown = pf != nullptr && fscanf(pf, "%ld", &cPages) == 1;
        if (pf != nullptr) {
            fclose(pf);
        }
        if (CELLSIFT_MEASURE_RSS && fKnown) {
            struct rlimit rl;
            rl.rlim_cur = rl.rlim_max = static_cast<rlim_t>(cPages) * sysconf(_SC_PAGESIZE) + cbExtra;
            setrlimit(RLIMIT_AS, &rl);
        }
        _exit(fn() ? 0 : 1);
    }
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    return WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
}

TEST(BoundsMemory, TablesAreSizedByWhatTheFileHoldsNotByWhatItsHeaderClaims)
{
    // A file of a terabyte that holds 8 KB: the rest is a hole. Its header claims nearly
    // 2^31 FAT sectors, or as many DIFAT sectors in a chain that comes back to itself.
    Bytes stream = HostileStream(8000);
    CfbLayout L;
    const std::string sFile = WorkbookFile(stream, CfbOptions(), &L);
    std::string sDifLoop = sFile;
    PatchLe32(&sDifLoop, ibHdrCsectDif, 0x7FFFFFFFu);
    PatchLe32(&sDifLoop, ibHdrDifStart, L.m_sectDirStart);
    const struct {
        const char *pszName;
        std::string sBytes;
    } rgCase[] = {
        {"2^31 - 2 FAT sectors", sFile},
        {"2^31 - 1 DIFAT sectors", sDifLoop},
    };
    for (const auto &c : rgCase) {
        SCOPED_TRACE(c.pszName);
        std::string sBad = c.sBytes;
        PatchLe32(&sBad, ibHdrCsectFat, 0x7FFFFFFEu);
        const std::string sPath = BoundsPath("sparse.xls");
        WriteFile(sPath, sBad);
        ASSERT_EQ(0, truncate(sPath.c_str(), static_cast<off_t>(1) << 40));
        // What the system's reader does: only the sectors a chain passes through are looked up.
        EXPECT_TRUE(RunWithAddressSpaceLimit(
            64u << 20, [&] { return GetWorkbookStreamSize(sPath.c_str()) == stream.size(); }));
        remove(sPath.c_str());
    }
    g_bError = 0;
}

TEST(BoundsMemory, AStreamOfLyingRecordsTakesAFewTimesItsSize)
{
    // 4 MB of records whose counts all claim the maximum: the text is bounded by the bytes.
    Bytes stream = HostileStream(4u << 20);
    const std::string sPath = BoundsPath("records.xls");
    WriteFile(sPath, WorkbookFile(stream, CfbOptions(), nullptr));
    size_t cbText = 0;
    long nGrowth = PeakGrowthKb([&] {
        Vstr text;
        if (ExtractXlsText(sPath.c_str(), 0, text) != 1) {
            return false;
        }
        cbText = text.GetLength();
        return true;
    });
    remove(sPath.c_str());
    // The copy of the stream, the text and the growth slack of both.
    EXPECT_GE(nGrowth, 0);
    EXPECT_LE(cbText, 2 * stream.size());
    if (CELLSIFT_MEASURE_RSS) {
        EXPECT_LT(nGrowth, static_cast<long>(3 * stream.size() / 1024 + 2048));
    }
    g_bError = 0;
}
#endif

// --- Work ---

TEST(BoundsWork, TextOfAHostileStreamGrowsLinearlyAndStaysBounded)
{
    const Bytes body = HostileStream(100000, false);
    std::string sOnce = Walk(body);
    std::string sTwice = Walk(Cat({body, body}));
    ASSERT_GT(sOnce.size(), 10000u);
    // Nothing carries over the seam between the copies: twice the bytes, twice the text.
    EXPECT_EQ(2 * sOnce.size(), sTwice.size());
    EXPECT_LE(sOnce.size(), body.size());
    g_bError = 0;
}

// The extraction as the export runs it, noting how large the text's block grew.
uint32_t g_cbTextBlock = 0;
int ExtractNotingTheBlock(const char *pszPath, int nCapacity, Vstr &text)
{
    int nResult = ExtractXlsText(pszPath, nCapacity, text);
    g_cbTextBlock = text.GetCapacity();
    return nResult;
}

// A host that asks for a prefix of a large text gets exactly that prefix, and the text
// gathered for it never grows far past what it asked for, whatever the capacity.
TEST(BoundsWork, TextPastTheCapacityIsNeverGathered)
{
    BiffStream s;
    for (int i = 0; s.bytes.size() < (1u << 20); i++) {
        s.Record(wLabel, Cat({Le16(0),
                              Le16(0),
                              Le16(15),
                              Le16(200),
                              {0x00},
                              Bytes(200, static_cast<uint8_t>('a' + i % 26))}));
    }
    const std::string sPath = BoundsPath("prefix.xls");
    WriteFile(sPath, WorkbookFile(s.bytes, CfbOptions(), nullptr));
    Vstr whole;
    ASSERT_EQ(1, ExtractXlsText(sPath.c_str(), 0, whole));
    const std::string sFull(whole.GetText(), whole.GetLength() - 1);
    const int cchFull = static_cast<int>(sFull.size());

    const ExtractFn pfnSaved = g_pfnExtract;
    g_pfnExtract = ExtractNotingTheBlock;
    for (int nCapacity : {0, 1, 100, 257, 258, 5000, cchFull - 1, cchFull, cchFull + 1, cchFull + 300}) {
        SCOPED_TRACE(nCapacity);
        std::string sBuffer(static_cast<size_t>(nCapacity) + 1, '\x7F');
        int cch = GetTextPortionOfDocument(sPath.c_str(), &sBuffer[0], nCapacity);
        int cchExpected = nCapacity < cchFull ? nCapacity : cchFull;
        EXPECT_EQ(cchExpected, cch);
        EXPECT_EQ(sFull.substr(0, static_cast<size_t>(cchExpected)), sBuffer.c_str());
        // The reserved capacity, and one growth for the character past it.
        EXPECT_LE(g_cbTextBlock, static_cast<uint32_t>(nCapacity < 258 ? 258 + 258 : nCapacity + 258));
    }
    g_pfnExtract = pfnSaved;
    remove(sPath.c_str());
}

#ifndef _WIN32
struct ReadCount {
    size_t cReads;
    size_t cbRead;
};

ReadCount CountExtractionReads(const std::string &sFile)
{
    const std::string sPath = BoundsPath("reads.xls");
    WriteFile(sPath, sFile);
    Vstr text;
    g_cReads = 0;
    g_cbReads = 0;
    g_fCountReads = true;
    int nResult = ExtractXlsText(sPath.c_str(), 0, text);
    g_fCountReads = false;
    remove(sPath.c_str());
    EXPECT_EQ(1, nResult);
    return {g_cReads, g_cbReads};
}

TEST(BoundsWork, ReadsGrowLinearlyWithAScatteredStream)
{
    // Backward sectors: no two follow each other, so every sector is a read of its own.
    CfbOptions scatter;
    scatter.m_fScatter = true;
    const std::string sSmall = WorkbookFile(HostileStream(200000), scatter, nullptr);
    const std::string sLarge = WorkbookFile(HostileStream(400000), scatter, nullptr);
    ReadCount small = CountExtractionReads(sSmall);
    ReadCount large = CountExtractionReads(sLarge);
    ASSERT_GT(small.cReads, 300u);
    EXPECT_LE(small.cbRead, sSmall.size());
    EXPECT_LE(large.cbRead, sLarge.size());
    EXPECT_LE(large.cReads, 2 * small.cReads + 8);
    g_bError = 0;
}

TEST(BoundsWork, AChainThatLoopsIsReadOnceAndGivesNothing)
{
    CfbLayout L;
    std::string sFile = WorkbookFile(HostileStream(200000), CfbOptions(), &L);
    // The stream's last sector leads back to its first: a chain with no end.
    size_t cSectors = (HostileStream(200000).size() + 511) / 512;
    PatchLe32(&sFile, L.IbFatEntry(L.m_rgsectStart[0] + static_cast<uint32_t>(cSectors) - 1),
              L.m_rgsectStart[0]);
    // A declared size one sector beyond the chain's end makes the reader follow the loop.
    PatchLe32(&sFile, L.IbDirEntry(1) + ibDirSize, static_cast<uint32_t>(cSectors * 512 + 100));
    const std::string sPath = BoundsPath("loop.xls");
    WriteFile(sPath, sFile);
    g_fCountReads = true;
    g_cbReads = 0;
    // The stream opens with its declared size; only the read finds the loop, and fails.
    EXPECT_EQ(cSectors * 512 + 100, GetWorkbookStreamSize(sPath.c_str()));
    Vstr text;
    EXPECT_EQ(1, ExtractXlsText(sPath.c_str(), 0, text));
    g_fCountReads = false;
    remove(sPath.c_str());
    EXPECT_EQ(0u, text.GetLength());
    EXPECT_LE(g_cbReads, sFile.size());
    g_bError = 0;
}
#endif

} // namespace
