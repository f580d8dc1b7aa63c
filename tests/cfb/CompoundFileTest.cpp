// The storage calls the extractor makes, on written and real compound documents. The same
// source runs against the portable reader natively and against the system's under Wine.
#include <gtest/gtest.h>

#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/Win32.h"
#include "support/CfbWriter.h"
#include "support/Fifo.h"
#include "support/Scandeck.h"

namespace {

typedef std::basic_string<OLECHAR> OleString;
const DWORD grfMode = STGM_SHARE_EXCLUSIVE | STGM_READ;

OleString Wide(const std::string &s)
{
    OleString sWide;
    for (char ch : s) {
        sWide.push_back((OLECHAR)(unsigned char)ch);
    }
    return sWide;
}

// Other checkouts run these tests at the same time; a random tag keeps their files apart.
std::string TempPath(const std::string &sName)
{
    static const std::string sTag = std::to_string(std::random_device()() % 1000000000u);
    return testing::TempDir() + "cellsift_cfb_" + sTag + "_" + sName;
}

std::string SharedPath(const std::string &sName)
{
#ifdef _WIN32
    return std::string("Z:") + CELLSIFT_SHARED_DIR + "/" + sName;
#else
    return std::string(CELLSIFT_SHARED_DIR) + "/" + sName;
#endif
}

void WriteBytes(const std::string &sPath, const std::string &sBytes)
{
    FILE *pf = fopen(sPath.c_str(), "wb");
    ASSERT_NE(nullptr, pf) << sPath;
    ASSERT_EQ(sBytes.size(), fwrite(sBytes.data(), 1, sBytes.size(), pf));
    fclose(pf);
}

std::string Pattern(size_t cb, unsigned nSeed)
{
    std::string s(cb, '\0');
    uint32_t x = nSeed * 2654435761u + 1;
    for (size_t i = 0; i < cb; i++) {
        x = x * 1103515245u + 12345u;
        s[i] = (char)(x >> 23);
    }
    return s;
}

HRESULT OpenStorage(const std::string &sPath, IStorage **ppStorage)
{
    return StgOpenStorage(Wide(sPath).c_str(), nullptr, grfMode, nullptr, 0, ppStorage);
}

// What the extractor sees of one stream: each call's result, the size and the bytes.
struct StreamView {
    HRESULT m_hrStorage = E_INVALIDARG;
    HRESULT m_hrStream = E_INVALIDARG;
    HRESULT m_hrStat = E_INVALIDARG;
    HRESULT m_hrRead = E_INVALIDARG;
    uint64_t m_cbSize = 0;
    ULONG m_cbRead = 0;
    std::string m_sData;
};

StreamView ReadStream(const std::string &sPath, const std::string &sStream)
{
    StreamView view;
    IStorage *pStorage = nullptr;
    view.m_hrStorage = OpenStorage(sPath, &pStorage);
    if (view.m_hrStorage != S_OK) {
        return view;
    }
    IStream *pStream = nullptr;
    view.m_hrStream = pStorage->OpenStream(Wide(sStream).c_str(), nullptr, grfMode, 0, &pStream);
    if (view.m_hrStream == S_OK) {
        STATSTG statstg;
        view.m_hrStat = pStream->Stat(&statstg, STATFLAG_NONAME);
        view.m_cbSize = statstg.cbSize.QuadPart;
        EXPECT_EQ(nullptr, statstg.pwcsName);
        // A declared size larger than any test file is read only as far as a file can go.
        if (view.m_hrStat == S_OK) {
            LARGE_INTEGER liZero;
            liZero.QuadPart = 0;
            EXPECT_EQ(S_OK, pStream->Seek(liZero, STREAM_SEEK_SET, nullptr));
            ULONG cbAsk = (ULONG)std::min<uint64_t>(view.m_cbSize + 1, 16u << 20);
            view.m_sData.assign(cbAsk, '\x5A');
            view.m_hrRead = pStream->Read(&view.m_sData[0], cbAsk, &view.m_cbRead);
            view.m_sData.resize(view.m_cbRead <= view.m_cbSize ? view.m_cbRead : 0);
        }
        pStream->Release();
    }
    pStorage->Release();
    return view;
}

StreamView WriteAndRead(const std::string &sFileName, const std::string &sFile, const std::string &sStream)
{
    std::string sPath = TempPath(sFileName);
    WriteBytes(sPath, sFile);
    StreamView view = ReadStream(sPath, sStream);
    remove(sPath.c_str());
    return view;
}

// A stream read whole and exactly.
void ExpectStream(const StreamView &view, const std::string &sData)
{
    ASSERT_EQ(S_OK, view.m_hrStorage);
    ASSERT_EQ(S_OK, view.m_hrStream);
    EXPECT_EQ(S_OK, view.m_hrStat);
    EXPECT_EQ(sData.size(), view.m_cbSize);
    EXPECT_EQ(S_OK, view.m_hrRead);
    EXPECT_EQ(sData.size(), view.m_cbRead);
    EXPECT_TRUE(view.m_sData == sData);
}

// --- Opening the file ---

TEST(CompoundFileOpen, MissingFileAndFolder)
{
    IStorage *pStorage = nullptr;
    EXPECT_EQ(STG_E_FILENOTFOUND, OpenStorage(TempPath("does-not-exist.xls"), &pStorage));
    EXPECT_EQ(nullptr, pStorage);
    EXPECT_EQ(STG_E_PATHNOTFOUND, OpenStorage(TempPath("no-folder/book.xls"), &pStorage));
    EXPECT_EQ(nullptr, pStorage);
}

TEST(CompoundFileOpen, NullAndEmptyNames)
{
    IStorage *pStorage = nullptr;
    EXPECT_EQ(STG_E_INVALIDNAME, StgOpenStorage(nullptr, nullptr, grfMode, nullptr, 0, &pStorage));
    EXPECT_EQ(nullptr, pStorage);
    const OLECHAR wzEmpty[1] = {0};
    EXPECT_EQ(STG_E_PATHNOTFOUND, StgOpenStorage(wzEmpty, nullptr, grfMode, nullptr, 0, &pStorage));
    EXPECT_EQ(nullptr, pStorage);
}

TEST(CompoundFileOpen, FilesThatAreNoCompoundDocument)
{
    std::string sValid = WriteCfb({{u"Workbook", Pattern(100, 1), false}}, CfbOptions(), nullptr);
    const struct {
        const char *pszName;
        std::string sBytes;
    } rgCase[] = {
        {"text", "This is a plain text file, not a workbook.\r\n"},
        {"empty", ""},
        {"magic-only", sValid.substr(0, 8)},
        {"zero-magic", std::string(8, '\0') + sValid.substr(8)},
    };
    for (const auto &c : rgCase) {
        std::string sPath = TempPath(c.pszName);
        WriteBytes(sPath, c.sBytes);
        IStorage *pStorage = nullptr;
        EXPECT_EQ(STG_E_FILEALREADYEXISTS, OpenStorage(sPath, &pStorage)) << c.pszName;
        EXPECT_EQ(nullptr, pStorage);
        remove(sPath.c_str());
    }
}

// Only a regular file is opened; a FIFO is refused at once, not waited on for a writer.
TEST(CompoundFileOpen, WhatIsNoRegularFileIsAccessDenied)
{
    std::string sFolder = TempPath("folder");
#ifdef _WIN32
    mkdir(sFolder.c_str());
#else
    mkdir(sFolder.c_str(), 0700);
    std::string sFifo = TempPath("fifo.xls");
    remove(sFifo.c_str());
    ASSERT_EQ(0, mkfifo(sFifo.c_str(), 0600));
#endif
    for (const std::string &sPath : std::vector<std::string>{
             sFolder,
#ifndef _WIN32
             sFifo,
#endif
         }) {
        IStorage *pStorage = nullptr;
        HRESULT hr = S_OK;
#ifdef _WIN32
        hr = OpenStorage(sPath, &pStorage);
#else
        EXPECT_TRUE(ReturnsUnaided(sPath, true, [&] { hr = OpenStorage(sPath, &pStorage); })) << sPath;
#endif
        EXPECT_EQ(STG_E_ACCESSDENIED, hr) << sPath;
        EXPECT_EQ(nullptr, pStorage);
        if (pStorage != nullptr) {
            pStorage->Release();
        }
    }
    rmdir(sFolder.c_str());
#ifndef _WIN32
    remove(sFifo.c_str());
#endif
}

// --- Streams of valid files ---

TEST(CompoundFileStreams, WorkbookBookBothAndNeither)
{
    std::string sWorkbook = Pattern(700, 2), sBook = Pattern(300, 3);
    std::string sBoth =
        WriteCfb({{u"Book", sBook, false}, {u"Workbook", sWorkbook, false}}, CfbOptions(), nullptr);
    ExpectStream(WriteAndRead("both", sBoth, "Workbook"), sWorkbook);
    ExpectStream(WriteAndRead("both", sBoth, "Book"), sBook);
    // Names match as the directory orders them: without regard to case.
    ExpectStream(WriteAndRead("both", sBoth, "WORKBOOK"), sWorkbook);
    ExpectStream(WriteAndRead("both", sBoth, "book"), sBook);

    std::string sNeither =
        WriteCfb({{u"\x05SummaryInformation", Pattern(200, 4), false}, {u"Sheet", Pattern(50, 5), false}},
                 CfbOptions(), nullptr);
    EXPECT_EQ(STG_E_FILENOTFOUND, WriteAndRead("neither", sNeither, "Workbook").m_hrStream);
    EXPECT_EQ(STG_E_FILENOTFOUND, WriteAndRead("neither", sNeither, "Book").m_hrStream);
    EXPECT_EQ(STG_E_FILENOTFOUND, WriteAndRead("neither", sNeither, "Workbooks").m_hrStream);

    std::string sNone = WriteCfb({}, CfbOptions(), nullptr);
    StreamView view = WriteAndRead("none", sNone, "Workbook");
    EXPECT_EQ(S_OK, view.m_hrStorage);
    EXPECT_EQ(STG_E_FILENOTFOUND, view.m_hrStream);
}

TEST(CompoundFileStreams, StorageIsNoStream)
{
    std::string sFile =
        WriteCfb({{u"Workbook", "", true}, {u"Book", Pattern(10, 6), false}}, CfbOptions(), nullptr);
    EXPECT_EQ(STG_E_FILENOTFOUND, WriteAndRead("storage", sFile, "Workbook").m_hrStream);
    ExpectStream(WriteAndRead("storage", sFile, "Book"), Pattern(10, 6));
}

TEST(CompoundFileStreams, EmptyAndFourByteStreams)
{
    std::string sFile =
        WriteCfb({{u"Workbook", "", false}, {u"Book", std::string("\x09\x08\x02\x00", 4), false}},
                 CfbOptions(), nullptr);
    StreamView view = WriteAndRead("small", sFile, "Workbook");
    ExpectStream(view, "");
    ExpectStream(WriteAndRead("small", sFile, "Book"), std::string("\x09\x08\x02\x00", 4));
}

// Sizes on each side of the mini-sector, cutoff and sector boundaries, in both versions,
// with sectors laid out in order and backwards.
TEST(CompoundFileStreams, MiniAndRegularStreamsInBothVersions)
{
    const size_t rgcb[] = {1, 63, 64, 65, 511, 512, 4095, 4096, 4097, 8192, 70001};
    for (int nMajor : {3, 4}) {
        for (bool fScatter : {false, true}) {
            std::vector<CfbEntryDesc> rgEntry;
            for (size_t i = 0; i < sizeof(rgcb) / sizeof(rgcb[0]); i++) {
                std::u16string sName = u"S";
                sName += (char16_t)(u'a' + i);
                rgEntry.push_back({sName, Pattern(rgcb[i], (unsigned)i), false});
            }
            CfbOptions options;
            options.m_nMajor = nMajor;
            options.m_fScatter = fScatter;
            CfbLayout layout;
            std::string sFile = WriteCfb(rgEntry, options, &layout);
            ASSERT_EQ(nMajor == 4 ? 4096u : 512u, layout.m_cbSector);
            std::string sPath = TempPath("sizes");
            WriteBytes(sPath, sFile);
            for (size_t i = 0; i < rgEntry.size(); i++) {
                SCOPED_TRACE(testing::Message()
                             << "v" << nMajor << " scatter " << fScatter << " size " << rgcb[i]);
                EXPECT_EQ(rgcb[i] < 4096, (bool)layout.m_rgfMini[i]);
                ExpectStream(ReadStream(sPath, std::string("S") + (char)('a' + i)), rgEntry[i].m_sData);
            }
            remove(sPath.c_str());
        }
    }
}

TEST(CompoundFileStreams, ManyNamesAreAllFoundThroughTheTree)
{
    std::vector<CfbEntryDesc> rgEntry;
    const char *rgpszName[] = {"Workbook",
                               "Book",
                               "a",
                               "B",
                               "zz",
                               "Ctls",
                               "\x01"
                               "CompObj",
                               "\x05"
                               "DocumentSummaryInformation",
                               "MBD0001",
                               "x",
                               "yy",
                               "Q"};
    for (size_t i = 0; i < sizeof(rgpszName) / sizeof(rgpszName[0]); i++) {
        std::u16string sName;
        for (const char *pch = rgpszName[i]; *pch; pch++) {
            sName.push_back((char16_t)*pch);
        }
        rgEntry.push_back({sName, Pattern(20 + i * 37, (unsigned)i), false});
    }
    std::string sPath = TempPath("names");
    WriteBytes(sPath, WriteCfb(rgEntry, CfbOptions(), nullptr));
    for (size_t i = 0; i < rgEntry.size(); i++) {
        ExpectStream(ReadStream(sPath, rgpszName[i]), rgEntry[i].m_sData);
    }
    EXPECT_EQ(STG_E_FILENOTFOUND, ReadStream(sPath, "c").m_hrStream);
    EXPECT_EQ(STG_E_FILENOTFOUND, ReadStream(sPath, "Workbool").m_hrStream);
    remove(sPath.c_str());
}

TEST(CompoundFileStreams, SeekAndPartialReads)
{
    std::string sData = Pattern(3000, 7), sBig = Pattern(9000, 8);
    std::string sPath = TempPath("seek");
    CfbOptions options;
    options.m_fScatter = true;
    WriteBytes(sPath, WriteCfb({{u"Workbook", sData, false}, {u"Book", sBig, false}}, options, nullptr));
    IStorage *pStorage = nullptr;
    ASSERT_EQ(S_OK, OpenStorage(sPath, &pStorage));
    for (const auto &pair : {std::make_pair("Workbook", &sData), std::make_pair("Book", &sBig)}) {
        IStream *pStream = nullptr;
        ASSERT_EQ(S_OK, pStorage->OpenStream(Wide(pair.first).c_str(), nullptr, grfMode, 0, &pStream));
        const std::string &sExpect = *pair.second;
        LARGE_INTEGER li;
        ULARGE_INTEGER uli;
        char rgch[1500];
        ULONG cbRead = 0;
        // Across mini-sector and sector boundaries, from an odd offset.
        li.QuadPart = 1001;
        ASSERT_EQ(S_OK, pStream->Seek(li, STREAM_SEEK_SET, &uli));
        EXPECT_EQ(1001u, uli.QuadPart);
        ASSERT_EQ(S_OK, pStream->Read(rgch, sizeof(rgch), &cbRead));
        EXPECT_EQ(sizeof(rgch), cbRead);
        EXPECT_EQ(sExpect.substr(1001, sizeof(rgch)), std::string(rgch, cbRead));
        // The position moved by the count read.
        li.QuadPart = 0;
        ASSERT_EQ(S_OK, pStream->Seek(li, STREAM_SEEK_CUR, &uli));
        EXPECT_EQ(1001u + sizeof(rgch), uli.QuadPart);
        // Near the end only what is left; at and past the end nothing.
        li.QuadPart = -10;
        ASSERT_EQ(S_OK, pStream->Seek(li, STREAM_SEEK_END, &uli));
        EXPECT_EQ(sExpect.size() - 10, uli.QuadPart);
        ASSERT_EQ(S_OK, pStream->Read(rgch, sizeof(rgch), &cbRead));
        EXPECT_EQ(10u, cbRead);
        EXPECT_EQ(sExpect.substr(sExpect.size() - 10), std::string(rgch, cbRead));
        ASSERT_EQ(S_OK, pStream->Read(rgch, sizeof(rgch), &cbRead));
        EXPECT_EQ(0u, cbRead);
        li.QuadPart = 100000;
        ASSERT_EQ(S_OK, pStream->Seek(li, STREAM_SEEK_SET, &uli));
        ASSERT_EQ(S_OK, pStream->Read(rgch, sizeof(rgch), &cbRead));
        EXPECT_EQ(0u, cbRead);
        pStream->Release();
    }
    pStorage->Release();
    remove(sPath.c_str());
}

// The system's reader never returns from a chain or a directory tree that comes back to
// itself; those cases are for the portable reader only.
bool IsSystemReader()
{
#ifdef _WIN32
    return true;
#else
    return false;
#endif
}

// The first call that failed, or S_OK when all did their work.
HRESULT Outcome(const StreamView &view)
{
    for (HRESULT hr : {view.m_hrStorage, view.m_hrStream, view.m_hrStat, view.m_hrRead}) {
        if (hr != S_OK) {
            return hr;
        }
    }
    return S_OK;
}

// Whatever a damaged file claims, a read gives no more than the stream declares, and each
// byte it gives is the stream's own or a zero from past the end of the file.
void ExpectOnlyTheStreamsBytes(const StreamView &view, const std::string &sData)
{
    if (view.m_hrStat != S_OK) {
        return;
    }
    ASSERT_LE(view.m_cbRead, view.m_cbSize);
    for (size_t i = 0; i < view.m_sData.size(); i++) {
        if (view.m_sData[i] != 0 && (i >= sData.size() || view.m_sData[i] != sData[i])) {
            ADD_FAILURE() << "byte " << i << " is not the stream's";
            return;
        }
    }
}

// Over 109 FAT sectors: the FAT's sector numbers continue in DIFAT sectors.
TEST(CompoundFileStreams, LargeStreamThroughDifatSectors)
{
    std::string sData = Pattern(7500000, 9);
    CfbLayout layout;
    std::string sFile = WriteCfb({{u"Workbook", sData, false}}, CfbOptions(), &layout);
    ASSERT_GT(layout.m_csectDif, 0u);
    ExpectStream(WriteAndRead("difat", sFile, "Workbook"), sData);
    // Laid out backwards, the chain goes down through every FAT sector, each link in another
    // sector of the file.
    CfbOptions scatter;
    scatter.m_fScatter = true;
    ExpectStream(WriteAndRead("difat-scattered", WriteCfb({{u"Workbook", sData, false}}, scatter, nullptr),
                              "Workbook"),
                 sData);

    // A DIFAT chain that comes back to itself past the sectors the header counts is never
    // followed.
    std::string sLoop = sFile;
    PatchLe32(&sLoop, layout.IbSector(layout.m_sectDifStart) + 127 * 4, layout.m_sectDifStart);
    PatchLe32(&sLoop, ibHdrCsectFat, layout.m_csectFat + 127);
    ExpectStream(WriteAndRead("difat-loop", sLoop, "Workbook"), sData);
    // One that starts outside the file has no link to follow: the system's reader takes
    // whatever its memory held, the portable one refuses the file.
    if (!IsSystemReader()) {
        std::string sOff = sFile;
        PatchLe32(&sOff, ibHdrDifStart, 0x00FFFFFF);
        PatchLe32(&sOff, ibHdrCsectDif, 2);
        EXPECT_EQ(STG_E_DOCFILECORRUPT, WriteAndRead("difat-off", sOff, "Workbook").m_hrStorage);
    }
}

// --- Damaged files ---

// Every prefix cuts the FAT, which the writer puts last: links past the cut read as zeros,
// so a chain may wander through other streams' sectors, but never past the file.
TEST(CompoundFileDamage, EveryPrefixIsReadWithinTheFile)
{
    if (IsSystemReader()) {
        GTEST_SKIP()
            << "the system reader fills a sector cut by the end of the file from memory it never wrote";
    }
    for (int nMajor : {3, 4}) {
        std::string sSmall = Pattern(1000, 10), sLarge = Pattern(5000, 11);
        CfbOptions options;
        options.m_nMajor = nMajor;
        std::string sFile =
            WriteCfb({{u"Workbook", sLarge, false}, {u"Book", sSmall, false}}, options, nullptr);
        // Written once and cut from the end, so each prefix costs no more than a truncate.
        std::string sPath = TempPath("prefix");
        WriteBytes(sPath, sFile);
        for (size_t cb = sFile.size(); cb-- > 0;) {
            SCOPED_TRACE(testing::Message() << "v" << nMajor << " prefix " << cb);
            ASSERT_EQ(0, truncate(sPath.c_str(), (off_t)cb));
            for (const char *pszStream : {"Workbook", "Book"}) {
                StreamView view = ReadStream(sPath, pszStream);
                EXPECT_LE(view.m_cbRead, view.m_cbSize);
                EXPECT_LE(view.m_cbRead, cb + 4096);
            }
            if (cb < 512) {
                EXPECT_EQ(STG_E_FILEALREADYEXISTS, ReadStream(sPath, "Book").m_hrStorage);
            }
        }
        remove(sPath.c_str());
    }
}

// Each damage as the system's reader meets it: the first call that fails, and how many
// bytes the read gives.
TEST(CompoundFileDamage, BrokenHeaderFieldsAndTables)
{
    std::string sSmall = Pattern(1000, 12), sLarge = Pattern(5000, 13);
    CfbLayout L;
    const std::string sFile =
        WriteCfb({{u"Workbook", sLarge, false}, {u"Book", sSmall, false}}, CfbOptions(), &L);
    const uint32_t idWorkbook = 1, idBook = 2;
    uint32_t sectW = L.m_rgsectStart[0];
    // A mini chain sent back to its start after four mini sectors is read round and round
    // up to the declared size.
    const size_t ibMiniLoop = L.IbMiniFatEntry(L.m_rgsectStart[1] + 3);
    std::string sSmallLooped;
    while (sSmallLooped.size() < sSmall.size()) {
        sSmallLooped += sSmall.substr(0, 4 * 64);
    }
    sSmallLooped.resize(sSmall.size());
    const HRESULT hrOk = S_OK, hrHeader = STG_E_FILEALREADYEXISTS, hrOpen = STG_E_READFAULT,
                  hrChain = E_OUTOFMEMORY, hrShort = STG_E_DOCFILECORRUPT;
    const struct {
        const char *pszName;
        size_t ib;
        uint32_t dw;
        int cb;
        bool fSystemHangs;
        HRESULT hrWorkbook;
        ULONG cbWorkbook;
        HRESULT hrBook;
        ULONG cbBook;
    } rgCase[] = {
        {"major version 5", ibHdrMajor, 5, 2, false, hrOk, 5000, hrOk, 1000},
        {"byte order", ibHdrByteOrder, 0xFEFF, 2, false, hrOk, 5000, hrOk, 1000},
        {"sector shift 40", ibHdrSectorShift, 40, 2, false, hrHeader, 0, hrHeader, 0},
        {"sector shift 0", ibHdrSectorShift, 0, 2, false, hrHeader, 0, hrHeader, 0},
        {"mini shift 20", ibHdrMiniShift, 20, 2, false, hrHeader, 0, hrHeader, 0},
        {"cutoff 4095", ibHdrCutoff, 4095, 4, false, hrHeader, 0, hrHeader, 0},
        {"FAT sector count huge", ibHdrCsectFat, 0x7FFFFFFF, 4, false, hrOk, 5000, hrOk, 1000},
        {"FAT sector count 0", ibHdrCsectFat, 0, 4, false, hrOpen, 0, hrOpen, 0},
        {"FAT sector out of file", ibHdrDifat, 0x00FFFFFF, 4, false, hrOpen, 0, hrOpen, 0},
        {"directory start out of file", ibHdrDirStart, 0x00FFFFFF, 4, false, hrOpen, 0, hrOpen, 0},
        {"directory chain loops", L.IbFatEntry(L.m_sectDirStart), L.m_sectDirStart, 4, true, hrOpen, 0,
         hrOpen, 0},
        {"directory chain off the FAT", L.IbFatEntry(L.m_sectDirStart), 0x7FFFFFF0, 4, false, hrOpen, 0,
         hrOpen, 0},
        {"stream chain loops", L.IbFatEntry(sectW + 1), sectW, 4, true, hrChain, 0, hrOk, 1000},
        {"stream chain off the FAT", L.IbFatEntry(sectW + 1), 0x7FFFFFF0, 4, false, hrChain, 0, hrOk, 1000},
        {"stream chain ends early", L.IbFatEntry(sectW + 1), 0xFFFFFFFE, 4, false, hrShort, 1024, hrOk, 1000},
        {"stream start out of range", L.IbDirEntry(idWorkbook) + ibDirStart, 0x00FFFFFF, 4, false, hrChain, 0,
         hrOk, 1000},
        {"stream claims 4 GB", L.IbDirEntry(idWorkbook) + ibDirSize, 0xFFFFFFF0, 4, false, hrShort, 5120,
         hrOk, 1000},
        {"stream claims more than its chain", L.IbDirEntry(idWorkbook) + ibDirSize, 6000, 4, false, hrShort,
         5120, hrOk, 1000},
        {"mini stream claims more than its chain", L.IbDirEntry(idBook) + ibDirSize, 3000, 4, false, hrOk,
         5000, hrOk, 1024},
        {"mini stream outside the file", L.IbDirEntry(0) + ibDirStart, 0x00FFFFFF, 4, false, hrOpen, 0,
         hrOpen, 0},
        {"mini stream size huge", L.IbDirEntry(0) + ibDirSize, 0xFFFFFF00, 4, false, hrOk, 5000, hrOk, 1000},
        {"mini FAT chain loops", L.IbFatEntry(L.m_sectMiniFatStart), L.m_sectMiniFatStart, 4, true, hrOpen, 0,
         hrOpen, 0},
        {"mini FAT start out of file", ibHdrMiniFatStart, 0x00FFFFFF, 4, false, hrOpen, 0, hrOpen, 0},
        {"mini chain loops", ibMiniLoop, L.m_rgsectStart[1], 4, false, hrOk, 5000, hrOk, 1000},
        {"mini chain off the mini stream", L.IbMiniFatEntry(L.m_rgsectStart[1] + 3), 5000, 4, false, hrOk,
         5000, hrShort, 256},
        {"root child out of range", L.IbDirEntry(0) + ibDirChild, 1000, 4, false, STG_E_FILENOTFOUND, 0,
         STG_E_FILENOTFOUND, 0},
        {"sibling loops to itself", L.IbDirEntry(idWorkbook) + ibDirLeft, idWorkbook, 4, true, hrOk, 5000,
         STG_E_DOCFILECORRUPT, 0},
        {"sibling loop off the search path", L.IbDirEntry(idBook) + ibDirRight, idWorkbook, 4, false, hrOk,
         5000, hrOk, 1000},
        {"name length absurd", L.IbDirEntry(idWorkbook) + ibDirNameLength, 0xFFFF, 2, false, hrOk, 5000, hrOk,
         1000},
        {"root not typed as the root", L.IbDirEntry(0) + ibDirType, 0x0100, 2, false, hrOk, 5000, hrOk, 1000},
    };
    for (const auto &c : rgCase) {
        SCOPED_TRACE(c.pszName);
        if (c.fSystemHangs && IsSystemReader()) {
            continue;
        }
        std::string sBad = sFile;
        if (c.cb == 2) {
            PatchLe16(&sBad, c.ib, (uint16_t)c.dw);
        } else {
            PatchLe32(&sBad, c.ib, c.dw);
        }
        ASSERT_NE(sFile, sBad);
        std::string sPath = TempPath("damaged");
        WriteBytes(sPath, sBad);
        StreamView viewW = ReadStream(sPath, "Workbook");
        StreamView viewB = ReadStream(sPath, "Book");
        remove(sPath.c_str());
        EXPECT_EQ(c.hrWorkbook, Outcome(viewW));
        EXPECT_EQ(c.cbWorkbook, viewW.m_cbRead);
        EXPECT_EQ(c.hrBook, Outcome(viewB));
        EXPECT_EQ(c.cbBook, viewB.m_cbRead);
        ExpectOnlyTheStreamsBytes(viewW, sLarge);
        ExpectOnlyTheStreamsBytes(viewB, c.ib == ibMiniLoop ? sSmallLooped : sSmall);
    }
}

// A version 4 entry may declare any 64-bit size; seeking from its end neither wraps nor
// leaves the signed 64-bit range, and reading there gives nothing.
TEST(CompoundFileDamage, SeekingFromTheEndOfAHugeDeclaredSize)
{
    if (IsSystemReader()) {
        GTEST_SKIP() << "positions past 2^63 are the system's own business";
    }
    CfbOptions v4;
    v4.m_nMajor = 4;
    CfbLayout L;
    std::string sFile = WriteCfb({{u"Workbook", Pattern(5000, 14), false}}, v4, &L);
    const struct {
        uint32_t dwSizeHigh;
        int64_t ibMove;
        HRESULT hrSeek;
        uint64_t ibExpected;
    } rgCase[] = {
        {0x7FFFFFFF, 0, S_OK, 0x7FFFFFFF00001388ull},
        {0x7FFFFFFF, -0x1388, S_OK, 0x7FFFFFFF00000000ull},
        {0xFFFFFFFF, 0, STG_E_INVALIDFUNCTION, 0},
        {0xFFFFFFFF, INT64_MIN, S_OK, 0x7FFFFFFF00001388ull},
    };
    for (const auto &c : rgCase) {
        SCOPED_TRACE(testing::Message() << std::hex << c.dwSizeHigh << " " << c.ibMove);
        std::string sBad = sFile;
        PatchLe32(&sBad, L.IbDirEntry(1) + ibDirSize + 4, c.dwSizeHigh);
        std::string sPath = TempPath("huge-size");
        WriteBytes(sPath, sBad);
        IStorage *pStorage = nullptr;
        ASSERT_EQ(S_OK, OpenStorage(sPath, &pStorage));
        IStream *pStream = nullptr;
        ASSERT_EQ(S_OK, pStorage->OpenStream(Wide("Workbook").c_str(), nullptr, grfMode, 0, &pStream));
        LARGE_INTEGER li;
        li.QuadPart = c.ibMove;
        ULARGE_INTEGER uli;
        uli.QuadPart = 0;
        EXPECT_EQ(c.hrSeek, pStream->Seek(li, STREAM_SEEK_END, &uli));
        if (c.hrSeek == S_OK) {
            EXPECT_EQ(c.ibExpected, uli.QuadPart);
            char rgch[16];
            ULONG cbRead = 1;
            pStream->Read(rgch, sizeof(rgch), &cbRead);
            EXPECT_EQ(0u, cbRead);
        }
        pStream->Release();
        pStorage->Release();
        remove(sPath.c_str());
    }
}

// --- Real workbooks ---

// Each real workbook gives the stream its expectation names ("Workbook" first, else
// "Book"), read whole, and that stream starts with a BOF record as every workbook does.
TEST(CompoundFileReal, ConformanceWorkbooksOpenAndReadWhole)
{
    std::string sDir = SharedPath("conformance");
    std::error_code ec;
    if (!std::filesystem::is_directory(sDir, ec)) {
        GTEST_SKIP() << "no conformance folder at " << sDir;
    }
    std::vector<std::string> rgsName;
    for (const auto &entry : std::filesystem::directory_iterator(sDir, ec)) {
        if (entry.path().extension() == ".xls") {
            rgsName.push_back(entry.path().stem().string());
        }
    }
    ASSERT_FALSE(rgsName.empty());
    for (const std::string &sName : rgsName) {
        SCOPED_TRACE(sName);
        std::string sPath = sDir + "/" + sName + ".xls";
        std::string sJson = ReadFileBytes(sDir + "/" + sName + ".json");
        bool fBook = sJson.find("\"stream\": \"Book\"") != std::string::npos;
        StreamView view = ReadStream(sPath, "Workbook");
        ASSERT_EQ(S_OK, view.m_hrStorage);
        EXPECT_EQ(fBook ? STG_E_FILENOTFOUND : S_OK, view.m_hrStream);
        if (fBook) {
            view = ReadStream(sPath, "Book");
        }
        ASSERT_EQ(S_OK, view.m_hrStream);
        EXPECT_EQ(S_OK, view.m_hrRead);
        EXPECT_EQ(view.m_cbSize, view.m_cbRead);
        ASSERT_GE(view.m_sData.size(), 4u);
        EXPECT_EQ(0x09, (unsigned char)view.m_sData[0]);
        EXPECT_EQ(0, (unsigned char)view.m_sData[1] & 0xF1);
    }
}

} // namespace
