// The storage calls the extractor makes, on written and real compound documents. The same
// source runs against the portable reader natively and against the system's under Wine.
#include <gtest/gtest.h>

#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

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
    for (char ch : s)
        sWide.push_back((OLECHAR)(unsigned char)ch);
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
    if (view.m_hrStorage != S_OK)
        return view;
    IStream *pStream = nullptr;
    view.m_hrStream = pStorage->OpenStream(Wide(sStream).c_str(), nullptr, grfMode, 0, &pStream);
    if (view.m_hrStream == S_OK) {
        STATSTG statstg;
        view.m_hrStat = pStream->Stat(&statstg, STATFLAG_NONAME);
        view.m_cbSize = statstg.cbSize.QuadPart;
        EXPECT_EQ(nullptr, statstg.pwcsName);
        // Only sizes a test file can have are read; a larger one is reported, not read.
        if (view.m_hrStat == S_OK && view.m_cbSize <= 64u << 20) {
            LARGE_INTEGER liZero;
            liZero.QuadPart = 0;
            EXPECT_EQ(S_OK, pStream->Seek(liZero, STREAM_SEEK_SET, nullptr));
            view.m_sData.assign((size_t)view.m_cbSize + 1, '\x5A');
            view.m_hrRead = pStream->Read(&view.m_sData[0], (ULONG)view.m_cbSize + 1, &view.m_cbRead);
            view.m_sData.resize(view.m_cbRead <= view.m_cbSize ? view.m_cbRead : 0);
        }
        pStream->Release();
    }
    pStorage->Release();
    return view;
}

StreamView WriteAndRead(const std::string &sFileName, const std::string &sFile,
                        const std::string &sStream)
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
        if (pStorage != nullptr)
            pStorage->Release();
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
    std::string sBoth = WriteCfb({{u"Book", sBook, false}, {u"Workbook", sWorkbook, false}},
                                 CfbOptions(), nullptr);
    ExpectStream(WriteAndRead("both", sBoth, "Workbook"), sWorkbook);
    ExpectStream(WriteAndRead("both", sBoth, "Book"), sBook);
    // Names match as the directory orders them: without regard to case.
    ExpectStream(WriteAndRead("both", sBoth, "WORKBOOK"), sWorkbook);
    ExpectStream(WriteAndRead("both", sBoth, "book"), sBook);

    std::string sNeither = WriteCfb({{u"\x05SummaryInformation", Pattern(200, 4), false},
                                     {u"Sheet", Pattern(50, 5), false}},
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
    std::string sFile = WriteCfb({{u"Workbook", "", true}, {u"Book", Pattern(10, 6), false}},
                                 CfbOptions(), nullptr);
    EXPECT_EQ(STG_E_FILENOTFOUND, WriteAndRead("storage", sFile, "Workbook").m_hrStream);
    ExpectStream(WriteAndRead("storage", sFile, "Book"), Pattern(10, 6));
}

TEST(CompoundFileStreams, EmptyAndFourByteStreams)
{
    std::string sFile = WriteCfb({{u"Workbook", "", false}, {u"Book", std::string("\x09\x08\x02\x00", 4), false}},
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
                SCOPED_TRACE(testing::Message() << "v" << nMajor << " scatter " << fScatter
                                                << " size " << rgcb[i]);
                EXPECT_EQ(rgcb[i] < 4096, (bool)layout.m_rgfMini[i]);
                ExpectStream(ReadStream(sPath, std::string("S") + (char)('a' + i)),
                             rgEntry[i].m_sData);
            }
            remove(sPath.c_str());
        }
    }
}

TEST(CompoundFileStreams, ManyNamesAreAllFoundThroughTheTree)
{
    std::vector<CfbEntryDesc> rgEntry;
    const char *rgpszName[] = {"Workbook", "Book", "a", "B", "zz", "Ctls", "\x01" "CompObj",
                               "\x05" "DocumentSummaryInformation", "MBD0001", "x", "yy", "Q"};
    for (size_t i = 0; i < sizeof(rgpszName) / sizeof(rgpszName[0]); i++) {
        std::u16string sName;
        for (const char *pch = rgpszName[i]; *pch; pch++)
            sName.push_back((char16_t)*pch);
        rgEntry.push_back({sName, Pattern(20 + i * 37, (unsigned)i), false});
    }
    std::string sPath = TempPath("names");
    WriteBytes(sPath, WriteCfb(rgEntry, CfbOptions(), nullptr));
    for (size_t i = 0; i < rgEntry.size(); i++)
        ExpectStream(ReadStream(sPath, rgpszName[i]), rgEntry[i].m_sData);
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

// The system's reader, as far as it can be watched under Wine, does not always return on
// truncated or looping files; those runs are for the portable reader only.
bool SkipDamageOnSystemReader()
{
#ifdef _WIN32
    return true;
#else
    return false;
#endif
}

// A damaged file must fail at one of the calls or give back exactly the stream it holds;
// nothing it claims may make a call read past it, hang, or allocate beyond it.
void ExpectFailsOrReadsWhole(const StreamView &view, const std::string &sData)
{
    if (view.m_hrStorage != S_OK || view.m_hrStream != S_OK)
        return;
    ASSERT_EQ(S_OK, view.m_hrStat);
    ASSERT_EQ(S_OK, view.m_hrRead);
    EXPECT_EQ(sData.size(), view.m_cbSize);
    EXPECT_EQ(sData.size(), view.m_cbRead);
    EXPECT_TRUE(view.m_sData == sData);
}

// Over 109 FAT sectors: the FAT's sector numbers continue in DIFAT sectors.
TEST(CompoundFileStreams, LargeStreamThroughDifatSectors)
{
    std::string sData = Pattern(7500000, 9);
    CfbLayout layout;
    std::string sFile = WriteCfb({{u"Workbook", sData, false}}, CfbOptions(), &layout);
    ASSERT_GT(layout.m_csectDif, 0u);
    ExpectStream(WriteAndRead("difat", sFile, "Workbook"), sData);

    // A DIFAT chain that comes back to itself, or leaves the file, is never followed far.
    std::string sLoop = sFile;
    PatchLe32(&sLoop, layout.IbSector(layout.m_sectDifStart) + 127 * 4, layout.m_sectDifStart);
    PatchLe32(&sLoop, ibHdrCsectFat, layout.m_csectFat + 127);
    ExpectFailsOrReadsWhole(WriteAndRead("difat-loop", sLoop, "Workbook"), sData);
    std::string sOff = sFile;
    PatchLe32(&sOff, ibHdrDifStart, 0x00FFFFFF);
    ExpectFailsOrReadsWhole(WriteAndRead("difat-off", sOff, "Workbook"), sData);
}

// --- Damaged files ---

TEST(CompoundFileDamage, EveryPrefixFailsCleanlyOrReadsWhole)
{
    if (SkipDamageOnSystemReader())
        GTEST_SKIP() << "the system reader may not return on truncated files";
    for (int nMajor : {3, 4}) {
        std::string sSmall = Pattern(1000, 10), sLarge = Pattern(5000, 11);
        CfbOptions options;
        options.m_nMajor = nMajor;
        std::string sFile = WriteCfb({{u"Workbook", sLarge, false}, {u"Book", sSmall, false}},
                                     options, nullptr);
        // Written once and cut from the end, so each prefix costs no more than a truncate.
        std::string sPath = TempPath("prefix");
        WriteBytes(sPath, sFile);
        for (size_t cb = sFile.size(); cb-- > 0;) {
            SCOPED_TRACE(testing::Message() << "v" << nMajor << " prefix " << cb);
            ASSERT_EQ(0, truncate(sPath.c_str(), (off_t)cb));
            ExpectFailsOrReadsWhole(ReadStream(sPath, "Workbook"), sLarge);
            ExpectFailsOrReadsWhole(ReadStream(sPath, "Book"), sSmall);
            if (cb < 512) {
                EXPECT_EQ(STG_E_FILEALREADYEXISTS, ReadStream(sPath, "Book").m_hrStorage);
            }
        }
        remove(sPath.c_str());
    }
}

TEST(CompoundFileDamage, BrokenHeaderFieldsAndTables)
{
    if (SkipDamageOnSystemReader())
        GTEST_SKIP() << "the system reader may not return on looping chains";
    std::string sSmall = Pattern(1000, 12), sLarge = Pattern(5000, 13);
    CfbLayout L;
    const std::string sFile = WriteCfb({{u"Workbook", sLarge, false}, {u"Book", sSmall, false}},
                                       CfbOptions(), &L);
    const uint32_t idWorkbook = 1, idBook = 2;
    uint32_t sectW = L.m_rgsectStart[0];
    const struct {
        const char *pszName;
        size_t ib;
        uint32_t dw;
        int cb;
        HRESULT hrStorage, hrWorkbook, hrBook;
    } rgCase[] = {
        {"major version 5", ibHdrMajor, 5, 2,
         STG_E_INVALIDHEADER, S_OK, S_OK},
        {"byte order", ibHdrByteOrder, 0xFEFF, 2,
         STG_E_INVALIDHEADER, S_OK, S_OK},
        {"sector shift 40", ibHdrSectorShift, 40, 2,
         STG_E_INVALIDHEADER, S_OK, S_OK},
        {"sector shift 0", ibHdrSectorShift, 0, 2,
         STG_E_INVALIDHEADER, S_OK, S_OK},
        {"mini shift 20", ibHdrMiniShift, 20, 2,
         STG_E_INVALIDHEADER, S_OK, S_OK},
        {"FAT sector count huge", ibHdrCsectFat, 0x7FFFFFFF, 4,
         STG_E_DOCFILECORRUPT, S_OK, S_OK},
        {"FAT sector out of file", ibHdrDifat, 0x00FFFFFF, 4,
         STG_E_DOCFILECORRUPT, S_OK, S_OK},
        {"directory start out of file", ibHdrDirStart, 0x00FFFFFF, 4,
         STG_E_DOCFILECORRUPT, S_OK, S_OK},
        {"directory chain loops", L.IbFatEntry(L.m_sectDirStart), L.m_sectDirStart, 4,
         STG_E_DOCFILECORRUPT, S_OK, S_OK},
        {"directory chain off the FAT", L.IbFatEntry(L.m_sectDirStart), 0x7FFFFFF0, 4,
         STG_E_DOCFILECORRUPT, S_OK, S_OK},
        {"stream chain loops", L.IbFatEntry(sectW + 1), sectW, 4,
         S_OK, STG_E_DOCFILECORRUPT, S_OK},
        {"stream chain off the FAT", L.IbFatEntry(sectW + 1), 0x7FFFFFF0, 4,
         S_OK, STG_E_DOCFILECORRUPT, S_OK},
        {"stream chain ends early", L.IbFatEntry(sectW + 1), 0xFFFFFFFE, 4,
         S_OK, STG_E_DOCFILECORRUPT, S_OK},
        {"stream start out of range", L.IbDirEntry(idWorkbook) + ibDirStart, 0x00FFFFFF, 4,
         S_OK, STG_E_DOCFILECORRUPT, S_OK},
        {"stream claims 4 GB", L.IbDirEntry(idWorkbook) + ibDirSize, 0xFFFFFFF0, 4,
         S_OK, STG_E_DOCFILECORRUPT, S_OK},
        {"stream claims more than its chain", L.IbDirEntry(idWorkbook) + ibDirSize, 6000, 4,
         S_OK, STG_E_DOCFILECORRUPT, S_OK},
        {"mini stream claims more than its chain", L.IbDirEntry(idBook) + ibDirSize, 3000, 4,
         S_OK, S_OK, STG_E_DOCFILECORRUPT},
        {"mini stream outside the file", L.IbDirEntry(0) + ibDirStart, 0x00FFFFFF, 4,
         S_OK, S_OK, STG_E_DOCFILECORRUPT},
        {"mini stream size huge", L.IbDirEntry(0) + ibDirSize, 0xFFFFFF00, 4,
         S_OK, S_OK, STG_E_DOCFILECORRUPT},
        {"mini FAT chain loops", L.IbFatEntry(L.m_sectMiniFatStart), L.m_sectMiniFatStart, 4,
         S_OK, S_OK, STG_E_DOCFILECORRUPT},
        {"mini FAT start out of file", ibHdrMiniFatStart, 0x00FFFFFF, 4,
         S_OK, S_OK, STG_E_DOCFILECORRUPT},
        {"mini chain loops", L.IbMiniFatEntry(L.m_rgsectStart[1] + 3), L.m_rgsectStart[1], 4,
         S_OK, S_OK, STG_E_DOCFILECORRUPT},
        {"mini chain off the mini stream", L.IbMiniFatEntry(L.m_rgsectStart[1] + 3), 5000, 4,
         S_OK, S_OK, STG_E_DOCFILECORRUPT},
        {"root child out of range", L.IbDirEntry(0) + ibDirChild, 1000, 4,
         S_OK, STG_E_DOCFILECORRUPT, STG_E_DOCFILECORRUPT},
        {"sibling loops to itself", L.IbDirEntry(idWorkbook) + ibDirLeft, idWorkbook, 4,
         S_OK, S_OK, STG_E_DOCFILECORRUPT},
        {"sibling loop off the search path", L.IbDirEntry(idBook) + ibDirRight, idWorkbook, 4,
         S_OK, S_OK, S_OK},
        {"name length absurd", L.IbDirEntry(idWorkbook) + ibDirNameLength, 0xFFFF, 2,
         S_OK, STG_E_DOCFILECORRUPT, STG_E_DOCFILECORRUPT},
    };
    for (const auto &c : rgCase) {
        SCOPED_TRACE(c.pszName);
        std::string sBad = sFile;
        if (c.cb == 2)
            PatchLe16(&sBad, c.ib, (uint16_t)c.dw);
        else
            PatchLe32(&sBad, c.ib, c.dw);
        ASSERT_NE(sFile, sBad);
        std::string sPath = TempPath("damaged");
        WriteBytes(sPath, sBad);
        StreamView viewW = ReadStream(sPath, "Workbook");
        StreamView viewB = ReadStream(sPath, "Book");
        remove(sPath.c_str());
        EXPECT_EQ(c.hrStorage, viewW.m_hrStorage);
        if (c.hrStorage == S_OK) {
            EXPECT_EQ(c.hrWorkbook, viewW.m_hrStream);
            EXPECT_EQ(c.hrBook, viewB.m_hrStream);
        }
        ExpectFailsOrReadsWhole(viewW, sLarge);
        ExpectFailsOrReadsWhole(viewB, sSmall);
    }
}

// --- Real workbooks ---

// Each real workbook gives the stream its expectation names ("Workbook" first, else
// "Book"), read whole, and that stream starts with a BOF record as every workbook does.
TEST(CompoundFileReal, ConformanceWorkbooksOpenAndReadWhole)
{
    std::string sDir = SharedPath("conformance");
    std::error_code ec;
    if (!std::filesystem::is_directory(sDir, ec))
        GTEST_SKIP() << "no conformance folder at " << sDir;
    std::vector<std::string> rgsName;
    for (const auto &entry : std::filesystem::directory_iterator(sDir, ec)) {
        if (entry.path().extension() == ".xls")
            rgsName.push_back(entry.path().stem().string());
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
        if (fBook)
            view = ReadStream(sPath, "Book");
        ASSERT_EQ(S_OK, view.m_hrStream);
        EXPECT_EQ(S_OK, view.m_hrRead);
        EXPECT_EQ(view.m_cbSize, view.m_cbRead);
        ASSERT_GE(view.m_sData.size(), 4u);
        EXPECT_EQ(0x09, (unsigned char)view.m_sData[0]);
        EXPECT_EQ(0, (unsigned char)view.m_sData[1] & 0xF1);
    }
}

} // namespace
