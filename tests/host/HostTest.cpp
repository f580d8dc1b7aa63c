// The library as the indexer meets it: loaded by file name, driven length first, and judged
// by the buffer, the result, standard error, the log and the quarantine folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/HostHarness.h"
#include "support/Biff.h"
#include "support/CfbWriter.h"
#include "support/Scandeck.h"

namespace {

const uint16_t wBof = 0x0809, wSst = 0x00FC, wLabel = 0x0204, wBoundSheet = 0x0085, wContinue = 0x003C,
               wNumber = 0x0203, wFilePass = 0x002F;
// "OUT_OF_RANGE в файле src/text/Vstr.cpp в строке 324" in Windows-1251.
const char szEmptyTextDiagnostic[] =
    "OUT_OF_RANGE \xE2 \xF4\xE0\xE9\xEB\xE5 src/text/Vstr.cpp \xE2 \xF1\xF2\xF0\xEE\xEA\xE5 324";

Bytes Str8(const std::string &s)
{
    return Cat({Le16(static_cast<uint16_t>(s.size())), {0x00}, Ascii(s)});
}
Bytes Label8(const std::string &s)
{
    return Cat({Le16(0), Le16(0), Le16(15), Str8(s)});
}

std::string Workbook(const BiffStream &s)
{
    return WriteCfb({{u"Workbook", std::string(s.bytes.begin(), s.bytes.end()), false}}, CfbOptions(),
                    nullptr);
}

// A sheet name, an 8-bit and a 16-bit shared string, and a label.
std::string GoodWorkbook()
{
    BiffStream s;
    s.Record(wBof, Cat({Le16(0x0600), Le16(0x0005), Le32(0), Le32(0), Le32(0)}));
    s.Record(wBoundSheet, Cat({Le32(0), Le16(0), {0x05, 0x00}, Ascii("Sheet")}));
    s.Record(wSst, Cat({Le32(2), Le32(2), Str8("Hello"), Le16(3), {0x01}, Utf16("Мир")}));
    s.Record(wLabel, Label8("cell"));
    return Workbook(s);
}
const std::string sGoodText = "Sheet Hello " + Cp1251("Мир") + " cell";

std::string NumbersOnlyWorkbook()
{
    BiffStream s;
    s.Record(wBof, Cat({Le16(0x0600), Le16(0x0005), Le32(0), Le32(0), Le32(0)}));
    s.Record(wNumber, Cat({Le16(0), Le16(0), Le16(15), Le32(0), Le32(0x40450000)}));
    return Workbook(s);
}

// The second string's option flags hold bit 1, which no string may have.
std::string RejectedHeaderWorkbook()
{
    BiffStream s;
    s.Record(wSst, Cat({Le32(99), Le32(99), Str8("ok"), {0x03, 0x00, 0x02}, Ascii("raw")}));
    s.Record(wContinue, Str8("lost"));
    s.Record(wLabel, Label8("after"));
    return Workbook(s);
}

class Host : public testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        m_pLib = LoadHostLibrary(&error);
        ASSERT_NE(nullptr, m_pLib) << error;
        ASSERT_TRUE(ResetFolder(HostScandeckDir())) << HostScandeckDir();
    }

    std::string Document(const std::string &name, const std::string &bytes)
    {
        std::string path = HostWorkDir() + name;
        EXPECT_TRUE(WriteFileBytes(path, bytes)) << path;
        return path;
    }

    std::vector<std::string> Quarantine() const
    {
        std::vector<std::string> names;
        for (const std::string &name : ListFiles(HostScandeckDir())) {
            if (name != "Scandeck.log") {
                names.push_back(name);
            }
        }
        return names;
    }

    std::vector<std::string> LogMessages() const { return ReadLogMessages(HostLogPath()); }

    const HostLibrary *m_pLib = nullptr;
};

TEST_F(Host, DescribesItselfWithFixedTexts)
{
    char rgch[64];
    memset(rgch, 'x', sizeof(rgch));
    EXPECT_EQ(3, m_pLib->pfnExtensions(rgch));
    EXPECT_EQ(std::string("xls", 4), std::string(rgch, 4));
    EXPECT_EQ('x', rgch[4]);

    memset(rgch, 'x', sizeof(rgch));
    EXPECT_EQ(36, m_pLib->pfnDescription(rgch));
    EXPECT_EQ(std::string("\xDD\xEA\xF1\xF2\xF0\xE0\xEA\xF2\xEE\xF0 \xF2\xE5\xEA\xF1\xF2\xE0 "
                          "\xE8\xE7 \xF4\xE0\xE9\xEB\xEE\xE2 MS Excel",
                          37),
              std::string(rgch, 37));
    EXPECT_EQ('x', rgch[37]);
}

TEST_F(Host, AGoodWorkbookGivesItsTextAndLeavesNoTrace)
{
    std::string path = Document("good.xls", GoodWorkbook());
    HostCall call = RunAsIndexer(*m_pLib, path);
    EXPECT_GE(call.nLength, static_cast<int>(sGoodText.size()));
    EXPECT_EQ(sGoodText, call.text);
    EXPECT_EQ(static_cast<int>(sGoodText.size()), call.nResult);
    EXPECT_TRUE(call.fTerminated);
    EXPECT_TRUE(call.fTailUntouched);
    EXPECT_EQ("", call.stderrText);
    EXPECT_FALSE(FileExists(HostLogPath()));
    EXPECT_TRUE(Quarantine().empty());
    // The second argument of the length call is never read.
    EXPECT_EQ(call.nLength, m_pLib->pfnLength(path.c_str(), -7));
    EXPECT_EQ(call.nLength, m_pLib->pfnLength(path.c_str(), 0x7FFFFFFF));
}

TEST_F(Host, TheCapacityCutsTheTextExactly)
{
    std::string path = Document("good.xls", GoodWorkbook());
    HostCall none = RunWithCapacity(*m_pLib, path, 0);
    EXPECT_EQ(0, none.nResult);
    EXPECT_EQ("", none.text);
    EXPECT_TRUE(none.fTerminated);
    EXPECT_TRUE(none.fTailUntouched);
    EXPECT_EQ("", none.stderrText);

    HostCall four = RunWithCapacity(*m_pLib, path, 4);
    EXPECT_EQ(4, four.nResult);
    EXPECT_EQ("Shee", four.text);
    EXPECT_TRUE(four.fTerminated);
    EXPECT_TRUE(four.fTailUntouched);

    // One short of the text: the last character goes, nothing is reported.
    int nShort = static_cast<int>(sGoodText.size()) - 1;
    HostCall shortOne = RunWithCapacity(*m_pLib, path, nShort);
    EXPECT_EQ(sGoodText.substr(0, static_cast<size_t>(nShort)), shortOne.text);
    EXPECT_EQ(nShort, shortOne.nResult);
    EXPECT_FALSE(FileExists(HostLogPath()));
    EXPECT_TRUE(Quarantine().empty());
}

TEST_F(Host, AWorkbookWithoutTextReportsOnlyOnStandardError)
{
    std::string path = Document("numbers.xls", NumbersOnlyWorkbook());
    HostCall call = RunAsIndexer(*m_pLib, path);
    EXPECT_GT(call.nLength, 0);
    EXPECT_EQ(0, call.nResult);
    EXPECT_EQ("", call.text);
    EXPECT_TRUE(call.fTerminated);
    EXPECT_EQ(szEmptyTextDiagnostic, call.stderrText);
    EXPECT_FALSE(FileExists(HostLogPath()));
    EXPECT_TRUE(Quarantine().empty());
}

TEST_F(Host, AFileThatIsNoCompoundDocumentIsLoggedAndQuarantined)
{
    const std::string bytes = "name;value\r\nplain text, not a workbook\r\n";
    std::string path = Document("plain.xls", bytes);
    HostCall call = RunAsIndexer(*m_pLib, path);
    EXPECT_EQ(0, call.nLength);
    EXPECT_EQ(0, call.nResult);
    EXPECT_EQ("", call.text);
    EXPECT_TRUE(call.fTerminated);
    EXPECT_EQ(szEmptyTextDiagnostic, call.stderrText);

    // Three entries from the length call, three more and the quarantine's two from the text call.
    std::vector<std::string> messages = LogMessages();
    ASSERT_EQ(8u, messages.size()) << testing::PrintToString(messages);
    EXPECT_NE("", messages[0]);
    EXPECT_EQ("StgOpenStorage", messages[1]);
    EXPECT_EQ(path, messages[2]);
    EXPECT_EQ(messages[0], messages[3]);
    EXPECT_EQ("StgOpenStorage", messages[4]);
    EXPECT_EQ(path, messages[5]);
    EXPECT_EQ("BadBeep", messages[6]);
    EXPECT_EQ(path, messages[7]);

    EXPECT_EQ(std::vector<std::string>{"plain.xls"}, Quarantine());
    EXPECT_EQ(bytes, ReadFileBytes(HostScandeckDir() + "plain.xls"));
}

TEST_F(Host, AMissingFileIsLoggedButNothingIsCopied)
{
    std::string path = HostWorkDir() + "no-such-workbook.xls";
    remove(path.c_str());
    HostCall call = RunAsIndexer(*m_pLib, path);
    EXPECT_EQ(0, call.nLength);
    EXPECT_EQ(0, call.nResult);
    EXPECT_EQ("", call.text);
    EXPECT_EQ(szEmptyTextDiagnostic, call.stderrText);
    std::vector<std::string> messages = LogMessages();
    ASSERT_EQ(8u, messages.size()) << testing::PrintToString(messages);
    EXPECT_EQ("StgOpenStorage", messages[4]);
    EXPECT_EQ(path, messages[5]);
    EXPECT_EQ("BadBeep", messages[6]);
    EXPECT_EQ(path, messages[7]);
    EXPECT_TRUE(Quarantine().empty());
}

TEST_F(Host, ARejectedStringHeaderQuarantinesButKeepsTheText)
{
    std::string bytes = RejectedHeaderWorkbook();
    std::string path = Document("rejected.xls", bytes);
    HostCall call = RunAsIndexer(*m_pLib, path);
#ifdef _WIN32
    // The system's own width test decides the raw text; the pieces around it are fixed.
    EXPECT_EQ(0u, call.text.find("ok "));
    EXPECT_EQ(call.text.size() - 6, call.text.rfind(" after"));
#else
    EXPECT_EQ("ok  raw after", call.text);
#endif
    EXPECT_EQ(static_cast<int>(call.text.size()), call.nResult);
    EXPECT_TRUE(call.fTerminated);
    EXPECT_EQ("", call.stderrText);
    EXPECT_EQ((std::vector<std::string>{"BadBeep", path}), LogMessages());
    EXPECT_EQ(std::vector<std::string>{"rejected.xls"}, Quarantine());
    EXPECT_EQ(bytes, ReadFileBytes(HostScandeckDir() + "rejected.xls"));
}

TEST_F(Host, AQuarantinedNameIsNeverCopiedAgain)
{
    const std::string earlier = "an earlier copy under the same name";
    ASSERT_TRUE(WriteFileBytes(HostScandeckDir() + "twice.xls", earlier));
    std::string path = Document("twice.xls", RejectedHeaderWorkbook());
    RunAsIndexer(*m_pLib, path);
    RunAsIndexer(*m_pLib, path);
    EXPECT_EQ((std::vector<std::string>{"BadBeep", path, "BadBeep", path}), LogMessages());
    EXPECT_EQ(std::vector<std::string>{"twice.xls"}, Quarantine());
    EXPECT_EQ(earlier, ReadFileBytes(HostScandeckDir() + "twice.xls"));
}

TEST_F(Host, ACallAfterAFailedCallStartsClean)
{
    std::string badPath = Document("first-bad.xls", RejectedHeaderWorkbook());
    std::string goodPath = Document("then-good.xls", GoodWorkbook());
    RunAsIndexer(*m_pLib, badPath);
    HostCall good = RunAsIndexer(*m_pLib, goodPath);
    EXPECT_EQ(sGoodText, good.text);
    EXPECT_EQ(static_cast<int>(sGoodText.size()), good.nResult);
    EXPECT_EQ((std::vector<std::string>{"BadBeep", badPath}), LogMessages());
    EXPECT_EQ(std::vector<std::string>{"first-bad.xls"}, Quarantine());

    // A failed length call raises the flag too; the text call must clear it first.
    std::string plainPath = Document("plain-then.xls", "not a compound document");
    m_pLib->pfnLength(plainPath.c_str(), 0);
    ASSERT_TRUE(ResetFolder(HostScandeckDir()));
    HostCall again = RunWithCapacity(*m_pLib, goodPath, 1000);
    EXPECT_EQ(sGoodText, again.text);
    EXPECT_TRUE(Quarantine().empty());
    EXPECT_FALSE(FileExists(HostLogPath()));
}

// Behind a FILEPASS the bodies are ciphertext: no text, no quarantine, the reason logged.
// Only the whole type counts, so a record that merely shares its low byte is no FILEPASS.
TEST_F(Host, AnEncryptedWorkbookGivesNoTextAndSaysWhy)
{
    const Bytes xorKey = Cat({Le16(0), Le16(0x1234), Le16(0x5678)});
    const Bytes rc4 = Cat({Le16(1), Le16(1), Le16(1), Bytes(48, 0xA5)});
    struct Case {
        const char *pszName;
        const char16_t *pwzStream;
        Bytes filePass;
        uint16_t wType;
        bool fEncrypted;
    } rgCase[] = {
        {"rc4.xls", u"Workbook", rc4, wFilePass, true},
        {"xor-book.xls", u"Book", xorKey, wFilePass, true},
        {"not-filepass.xls", u"Workbook", xorKey, 0x012F, false},
    };
    for (const Case &c : rgCase) {
        SCOPED_TRACE(c.pszName);
        ASSERT_TRUE(ResetFolder(HostScandeckDir()));
        BiffStream s;
        s.Record(wBof, Cat({Le16(0x0600), Le16(0x0005), Le32(0), Le32(0), Le32(0)}));
        s.Record(c.wType, c.filePass);
        s.Record(wSst, Cat({Le32(1), Le32(1), Str8("secret")}));
        std::string bytes = WriteCfb({{c.pwzStream, std::string(s.bytes.begin(), s.bytes.end()), false}},
                                     CfbOptions(), nullptr);
        std::string path = Document(c.pszName, bytes);
        HostCall call = RunAsIndexer(*m_pLib, path);
        EXPECT_EQ(static_cast<int>(s.bytes.size()), call.nLength);
        if (c.fEncrypted) {
            EXPECT_EQ("", call.text);
            EXPECT_EQ(0, call.nResult);
            EXPECT_EQ(szEmptyTextDiagnostic, call.stderrText);
            EXPECT_EQ((std::vector<std::string>{"The workbook is encrypted.", path}), LogMessages());
        } else {
            EXPECT_EQ("secret", call.text);
            EXPECT_FALSE(FileExists(HostLogPath()));
        }
        EXPECT_TRUE(Quarantine().empty());
    }
}

} // namespace
