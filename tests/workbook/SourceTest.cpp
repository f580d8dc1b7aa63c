// Where the reader's stream comes from: read in place from the file's mapping or the caller's
// block when its sectors follow each other, copied otherwise, and the same bytes either way,
// on whole, scattered, overclaiming and re-chained documents; the fresh memory a decrypted
// copy goes into; a mapped file cut or rewritten under it; and the SIGBUS guard kept in front.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "ReaderFixture.h"
#include "support/CfbWriter.h"
#include "workbook/FreshBuffer.h"

namespace {

// A workbook stream of many sectors: one sheet of 2,000 numbers, row times dStep.
Bytes LargeStream(uint16_t cRows = 2000, double dStep = 0.5)
{
    Bytes cells;
    for (uint16_t row = 0; row < cRows; row++) {
        Bytes cell = Rec(0x0203, Cat({Cell3(row, 0, 0), Double(row * dStep)}));
        cells.insert(cells.end(), cell.begin(), cell.end());
    }
    return Workbook({}, {{"S", cells}});
}

std::string TempFile(const std::string &bytes)
{
    char szPath[] = "/tmp/cellsift-source-XXXXXX";
    int fd = mkstemp(szPath);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
    return szPath;
}

TEST(WorkbookSource, InPlaceAndCopiedStreamsAreTheSame)
{
    Bytes stream = LargeStream();
    std::string sStream(stream.begin(), stream.end());
    CfbLayout plainLayout, scatteredLayout;
    CfbOptions scatter;
    scatter.m_fScatter = true;
    std::string plain = WriteCfb({{u"Workbook", sStream, false}}, CfbOptions(), &plainLayout);
    std::string scattered = WriteCfb({{u"Workbook", sStream, false}}, scatter, &scatteredLayout);
    // The directory claims more than the chain holds.
    std::string overclaimed = plain;
    PatchLe32(&overclaimed, plainLayout.IbDirEntry(1) + ibDirSize,
              static_cast<uint32_t>(stream.size() + 5000));
    // The chain ends after the stream's third sector.
    std::string rechained = plain;
    PatchLe32(&rechained, plainLayout.IbFatEntry(plainLayout.m_rgsectStart[0] + 2), 0xFFFFFFFEu);
    struct {
        const char *szWhat;
        std::string file;
        bool fInPlace; // read where it lies in a block held in memory
    } cases[] = {
        {"sectors in order", plain, true},
        {"sectors scattered", scattered, false},
        {"size past the chain", overclaimed, false},
        {"chain cut short", rechained, false},
        {"bare BIFF", sStream, true},
    };
    for (const auto &c : cases) {
        const uint8_t *pb = reinterpret_cast<const uint8_t *>(c.file.data());
        WorkbookStream copied, viewed, mapped;
        WorkbookError error;
        ASSERT_TRUE(OpenWorkbookMemory(pb, c.file.size(), &copied, &error)) << c.szWhat << error.message;
        ASSERT_TRUE(OpenWorkbookView(pb, c.file.size(), &viewed, &error)) << c.szWhat << error.message;
        std::string path = TempFile(c.file);
        ASSERT_TRUE(OpenWorkbookFile(path.c_str(), &mapped, &error)) << c.szWhat << error.message;
        unlink(path.c_str());
        Bytes fromCopy(copied.pbData, copied.pbData + copied.cbData);
        EXPECT_EQ(Bytes(viewed.pbData, viewed.pbData + viewed.cbData), fromCopy) << c.szWhat;
        EXPECT_EQ(Bytes(mapped.pbData, mapped.pbData + mapped.cbData), fromCopy) << c.szWhat;
        EXPECT_EQ(viewed.cbDeclared, copied.cbDeclared) << c.szWhat;
        EXPECT_EQ(mapped.cbDeclared, copied.cbDeclared) << c.szWhat;
        bool fInside = viewed.pbData >= pb && viewed.pbData < pb + c.file.size();
        EXPECT_EQ(fInside, c.fInPlace) << c.szWhat;
        Collector fromView = ReadStream(Bytes(viewed.pbData, viewed.pbData + viewed.cbData));
        EXPECT_EQ(fromView.lines, ReadStream(fromCopy).lines) << c.szWhat;
    }
}

// The memory a decrypted copy is written into: all of it writable and zero, from the heap
// below one huge page and aligned to one from there on, on either side of each rounding.
TEST(WorkbookSource, FreshBuffersHoldWhatTheyAreAskedFor)
{
    for (size_t cb : {size_t(0), size_t(1), cbFreshHugeMin - 1, cbFreshHugeMin, cbFreshHugeMin + 1,
                      3 * cbFreshHugeMin - 1, 3 * cbFreshHugeMin + 4097}) {
        std::shared_ptr<uint8_t> block = AllocateFresh(cb);
        ASSERT_NE(block, nullptr) << cb;
        uint8_t *pb = block.get();
        size_t cNonzero = 0;
        for (size_t i = 0; i < cb; i++) {
            cNonzero += pb[i] != 0;
            pb[i] = static_cast<uint8_t>(i);
        }
        EXPECT_EQ(cNonzero, 0u) << cb;
        if (cb >= cbFreshHugeMin) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(pb) % cbFreshHugeMin, 0u) << cb;
        }
    }
}

// Another program cuts the file while it is mapped: the pages past its new end are gone, and
// reading them is a SIGBUS the reader survives, failing as an unreadable file.
TEST(WorkbookSource, FileCutWhileMappedFailsAsUnreadable)
{
    // Large enough to be mapped rather than read.
    Bytes stream = LargeStream(40000);
    std::string file =
        WriteCfb({{u"Workbook", std::string(stream.begin(), stream.end()), false}}, CfbOptions(), nullptr);
    ASSERT_GT(file.size(), cbReadNotMappedMax);
    const struct {
        const char *szWhat;
        long cbKept; // -1: not cut
    } cases[] = {{"not cut", -1},
                 {"cut to nothing", 0},
                 {"cut in its header's page", 100},
                 {"cut after a page", 4096},
                 {"cut in the middle", (long)file.size() / 2}};
    for (const auto &c : cases) {
        std::string path = TempFile(file);
        WorkbookStream mapped;
        WorkbookError error;
        ASSERT_TRUE(OpenWorkbookFile(path.c_str(), &mapped, &error)) << c.szWhat << error.message;
        if (c.cbKept >= 0) {
            ASSERT_EQ(truncate(path.c_str(), c.cbKept), 0) << c.szWhat;
        }
        Collector collector;
        bool fRead = ReadWorkbook(mapped, collector, &error);
        unlink(path.c_str());
        EXPECT_EQ(fRead, c.cbKept < 0) << c.szWhat;
        if (c.cbKept < 0) {
            EXPECT_EQ(collector.lines, ReadStream(stream).lines);
        } else {
            EXPECT_EQ(error.kind, WorkbookErrorKind::FileUnreadable) << c.szWhat << ": " << error.message;
        }
    }
}

std::string CfbOf(const Bytes &stream, const CfbOptions &options = CfbOptions())
{
    return WriteCfb({{u"Workbook", std::string(stream.begin(), stream.end()), false}}, options, nullptr);
}

// A file written long ago: a rewrite in the same clock tick as its last write would keep
// its times, which the reader cannot see.
std::string OldTempFile(const std::string &bytes)
{
    std::string path = TempFile(bytes);
    const struct timespec rgts[2] = {{946684800, 0}, {946684800, 0}};
    EXPECT_EQ(utimensat(AT_FDCWD, path.c_str(), rgts, 0), 0);
    return path;
}

void Rewrite(const std::string &path, const std::string &bytes)
{
    int fd = open(path.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
}

// Another program writes the mapped file between open and read: the reader sees the live file,
// so it fails before visiting anything rather than mix two workbooks. A file replaced by a
// new one renamed over it, or a stream copied out at open, still reads as it was opened.
TEST(WorkbookSource, FileRewrittenAfterOpenFailsUnlessTheStreamIsItsOwn)
{
    Bytes before = LargeStream(40000), after = LargeStream(40000, 2.0);
    CfbOptions scatter;
    scatter.m_fScatter = true;
    const struct {
        const char *szWhat;
        std::string opened, written;
        bool fRename;
        bool fRead; // reads the workbook as it was when opened
    } cases[] = {
        {"same size, other cells", CfbOf(before), CfbOf(after), false, false},
        {"longer", CfbOf(before), CfbOf(LargeStream(50000)), false, false},
        {"renamed over it", CfbOf(before), CfbOf(after), true, true},
        {"copied at open", CfbOf(before, scatter), CfbOf(after, scatter), false, true},
    };
    ASSERT_EQ(cases[0].opened.size(), cases[0].written.size());
    for (const auto &c : cases) {
        std::string path = OldTempFile(c.opened);
        WorkbookStream stream;
        WorkbookError error;
        ASSERT_TRUE(OpenWorkbookFile(path.c_str(), &stream, &error)) << c.szWhat << error.message;
        if (c.fRename) {
            std::string other = TempFile(c.written);
            ASSERT_EQ(rename(other.c_str(), path.c_str()), 0);
        } else {
            Rewrite(path, c.written);
        }
        Collector collector;
        bool fRead = ReadWorkbook(stream, collector, &error);
        unlink(path.c_str());
        EXPECT_EQ(fRead, c.fRead) << c.szWhat;
        if (c.fRead) {
            EXPECT_EQ(collector.lines, ReadStream(before).lines) << c.szWhat;
        } else {
            EXPECT_EQ(error.kind, WorkbookErrorKind::FileUnreadable) << c.szWhat;
            EXPECT_NE(error.message.find("changed"), std::string::npos) << c.szWhat << ": " << error.message;
            EXPECT_EQ(error.nErrno, 0) << c.szWhat << ": no system call failed";
            EXPECT_TRUE(collector.lines.empty()) << c.szWhat;
        }
    }
}

// SIGBUS handlers installed after the file was mapped: the guard goes back in front of them
// before the mapping is read again, so a cut while reading fails the read, and passes them
// every other SIGBUS; one that restores the handler it found and raises again (as fault
// reporters do) ends the process instead of being handed the signal back for ever.
void ExitOnBusError(int, siginfo_t *pInfo, void *)
{
    _exit(pInfo->si_code == BUS_ADRERR ? 41 : 42);
}

struct sigaction g_saReporterFound;

void ReportAndRaiseAgain(int nSignal)
{
    sigaction(SIGBUS, &g_saReporterFound, nullptr);
    raise(nSignal);
}

// Cuts the file at its first cell when fCut.
class CutOnFirstCell : public WorkbookVisitor {
public:
    CutOnFirstCell(const std::string &path, bool fCut) : m_path(path), m_fDone(!fCut) {}
    void OnCell(const Cell &) override
    {
        if (!m_fDone && truncate(m_path.c_str(), 4096) != 0) {
            _exit(3);
        }
        m_fDone = true;
    }

private:
    std::string m_path;
    bool m_fDone;
};

// Maps the file, installs sa, reads it with visitor (cut when fCut) and raises SIGBUS; exits
// 1 to 4 where that went otherwise.
void ReadBehindANewcomer(const std::string &path, const struct sigaction &sa, bool fCut)
{
    WorkbookStream mapped;
    WorkbookError error;
    if (!OpenWorkbookFile(path.c_str(), &mapped, &error)) {
        _exit(1);
    }
    sigaction(SIGBUS, &sa, &g_saReporterFound);
    CutOnFirstCell cutter(path, fCut);
    bool fRead = ReadWorkbook(mapped, cutter, &error);
    if (fRead == fCut || (fCut && error.message.find("cut short") == std::string::npos)) {
        _exit(2);
    }
    raise(SIGBUS);
    _exit(4);
}

TEST(WorkbookSourceDeathTest, HandlersInstalledLaterGoBehindTheGuard)
{
    std::string path = TempFile(CfbOf(LargeStream(40000)));
    struct sigaction saExit = {}, saReporter = {};
    saExit.sa_sigaction = ExitOnBusError;
    saExit.sa_flags = SA_SIGINFO;
    saReporter.sa_handler = ReportAndRaiseAgain;
    saReporter.sa_flags = SA_NODEFER;
    EXPECT_EXIT(ReadBehindANewcomer(path, saReporter, false), testing::KilledBySignal(SIGBUS), "");
    EXPECT_EXIT(ReadBehindANewcomer(path, saExit, true), testing::ExitedWithCode(42), "");
    unlink(path.c_str());
}

// The guard takes only faults in its own mappings: any other SIGBUS ends the process as before
// (killed by it, or by a sanitizer's report of it). A read of zeros would exit cleanly.
TEST(WorkbookSourceDeathTest, OtherBusErrorsStillEndTheProcess)
{
    Bytes stream = LargeStream();
    std::string path = TempFile(
        WriteCfb({{u"Workbook", std::string(stream.begin(), stream.end()), false}}, CfbOptions(), nullptr));
    WorkbookStream mapped;
    WorkbookError error;
    ASSERT_TRUE(OpenWorkbookFile(path.c_str(), &mapped, &error)) << error.message;
    EXPECT_DEATH(raise(SIGBUS), "");
    EXPECT_DEATH(
        {
            int fd = open(path.c_str(), O_RDONLY);
            void *pv = mmap(nullptr, 3 * 4096, PROT_READ, MAP_PRIVATE, fd, 0);
            if (pv == MAP_FAILED || ftruncate(open(path.c_str(), O_WRONLY), 0) != 0) {
                _exit(0);
            }
            _exit(static_cast<const volatile uint8_t *>(pv)[2 * 4096]);
        },
        "");
    unlink(path.c_str());
}

} // namespace
