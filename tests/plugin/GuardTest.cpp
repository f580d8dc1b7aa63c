// The catch-all guard of the text export: exceptions and, on Windows, processor faults from
// inside the extraction end as a logged, quarantined failure, and the guard does not linger.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "cellsift.h"
#include "platform/Services.h"
#include "platform/Win32.h"
#include "plugin/Extraction.h"
#include "support/Biff.h"
#include "support/CfbWriter.h"
#include "support/Scandeck.h"
#include "xls/StreamAccess.h"

namespace {

// A last error that has a system text on each build, and one that has none anywhere.
#ifdef _WIN32
const DWORD dwCodeWithText = 2; // ERROR_FILE_NOT_FOUND
#else
const DWORD dwCodeWithText = static_cast<DWORD>(E_OUTOFMEMORY);
#endif
const DWORD dwCodeWithoutText = 0x2000BEEF;
#ifdef _WIN32
const bool bPortable = false;
#else
const bool bPortable = true;
#endif

std::string SystemText(DWORD dwCode)
{
    char *pszMessage = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, dwCode, 0x400,
                   reinterpret_cast<LPSTR>(&pszMessage), 0, nullptr);
    std::string text = pszMessage != nullptr ? pszMessage : "";
    if (pszMessage != nullptr) {
        LocalFree(pszMessage);
    }
    return text;
}

int ThrowRuntimeError(const char *, int, Vstr &text)
{
    text.Append("gathered before the failure");
    SetLastError(dwCodeWithText);
    throw std::runtime_error("extraction failed");
}

int ThrowBadAlloc(const char *, int, Vstr &text)
{
    text.Append("gathered before the failure");
    SetLastError(dwCodeWithoutText);
    throw std::bad_alloc();
}

int AppendOnly(const char *, int, Vstr &text)
{
    text.Append("fine ");
    return 1;
}

#ifdef _WIN32
int WriteThroughNull(const char *, int, Vstr &text)
{
    text.Append("gathered before the fault");
    SetLastError(dwCodeWithText);
    // Read through a volatile, so the compiler cannot see the null and drop or replace the store.
    volatile int *volatile pn = nullptr;
    *pn = 1;
    return 1;
}

int WriteThroughWildPointer(const char *, int, Vstr &text)
{
    text.Append("gathered before the fault");
    SetLastError(dwCodeWithText);
    volatile uintptr_t address = 0x10;
    volatile int *pn = reinterpret_cast<volatile int *>(address);
    *pn = 1;
    return 1;
}
#endif

#if defined(_WIN32) && !defined(_WIN64)
// The head of the thread's chain of exception frames, at FS:0.
EXCEPTION_REGISTRATION_RECORD *ReadFrameChain()
{
    EXCEPTION_REGISTRATION_RECORD *pFrame;
    __asm__ volatile("movl %%fs:0, %0" : "=r"(pFrame));
    return pFrame;
}

void WriteFrameChain(EXCEPTION_REGISTRATION_RECORD *pFrame)
{
    __asm__ volatile("movl %0, %%fs:0" : : "r"(pFrame) : "memory");
}

// Pushes a frame with pfnHandler onto the chain, as a function with its own handler does.
void PushFrame(EXCEPTION_REGISTRATION_RECORD *pFrame, PEXCEPTION_ROUTINE pfnHandler)
{
    pFrame->Next = ReadFrameChain();
    pFrame->Handler = pfnHandler;
    WriteFrameChain(pFrame);
}

bool g_fAbandonedFrameCalled = false;

EXCEPTION_DISPOSITION NTAPI AbandonedFrameHandler(EXCEPTION_RECORD *, void *, CONTEXT *, void *)
{
    g_fAbandonedFrameCalled = true;
    return ExceptionContinueSearch;
}

bool g_fHostFrameCalled = false;

EXCEPTION_DISPOSITION NTAPI HostFrameHandler(EXCEPTION_RECORD *pRecord, void *, CONTEXT *, void *)
{
    if (pRecord->ExceptionCode != 0xE0C0FFEE) {
        return ExceptionContinueSearch;
    }
    g_fHostFrameCalled = true;
    return ExceptionContinueExecution;
}
#endif

#ifdef _WIN32

// A walk that faults with the document, its stream and the stream copy open, inside a
// function that has pushed an exception frame of its own, as system functions do on i686.
void FaultInsideAFrame(const uint8_t *, int32_t, Vstr &)
{
#ifndef _WIN64
    EXCEPTION_REGISTRATION_RECORD frame;
    PushFrame(&frame, AbandonedFrameHandler);
#endif
    SetLastError(dwCodeWithText);
    volatile int *volatile pn = nullptr;
    *pn = 1;
}
#endif

class Guard : public testing::Test {
protected:
    void SetUp() override
    {
        char szHost[MAX_PATH];
        ASSERT_GT(GetHostProgramPath(szHost, sizeof(szHost)), 0);
        m_scandeck = ScandeckDirFor(szHost);
        ASSERT_TRUE(ResetFolder(m_scandeck)) << m_scandeck;
        m_document = DirectoryOf(szHost) + "guard-document.xls";
        ASSERT_TRUE(WriteFileBytes(m_document, m_documentBytes));
    }
    void TearDown() override { g_pfnExtract = m_pfnSaved; }

    // Runs the text export with the given routine in place of the extraction.
    int Extract(ExtractFn pfn, std::string *pText)
    {
        g_pfnExtract = pfn;
        char rgch[64];
        memset(rgch, 'x', sizeof(rgch));
        int nResult = GetTextPortionOfDocument(m_document.c_str(), rgch, 32);
        g_pfnExtract = m_pfnSaved;
        *pText = std::string(rgch, strnlen(rgch, sizeof(rgch)));
        return nResult;
    }

    // fExactLastError: the last error set before the failure is still the thread's when the
    // handler runs. A C++ throw on Windows goes through the system's unwinder, which may
    // change it; then only the form of the system text's entry can be checked.
    void ExpectEscapedFailure(int nResult, const std::string &text, DWORD dwLastError, bool fExactLastError)
    {
        EXPECT_EQ(0, nResult);
        EXPECT_EQ("", text);
        std::vector<std::string> messages = ReadLogMessages(m_scandeck + "Scandeck.log");
        std::vector<std::string> expected = {"GetTextPortionOfXlsFile catch()"};
        std::string systemText = SystemText(dwLastError);
        if (!fExactLastError && messages.size() == 4) {
            // Whatever the system said, its line break stays on.
            systemText = messages[1];
            EXPECT_EQ('\n', systemText.empty() ? '\0' : systemText.back()) << systemText;
        }
        if (!systemText.empty()) {
            expected.push_back(systemText);
        }
        expected.push_back("BadBeep");
        expected.push_back(m_document);
        EXPECT_EQ(expected, messages);
        EXPECT_EQ((std::vector<std::string>{"Scandeck.log", "guard-document.xls"}), ListFiles(m_scandeck));
        EXPECT_EQ(m_documentBytes, ReadFileBytes(m_scandeck + "guard-document.xls"));
    }

    // After a failure the guard must be gone and the flag clear for the next document.
    void ExpectCleanCallAfterwards()
    {
        ASSERT_TRUE(ResetFolder(m_scandeck));
        std::string text;
        EXPECT_EQ(4, Extract(AppendOnly, &text));
        EXPECT_EQ("fine", text);
        EXPECT_TRUE(ListFiles(m_scandeck).empty());
    }

    const ExtractFn m_pfnSaved = g_pfnExtract;
    std::string m_documentBytes = "not read: only copied into quarantine";
    std::string m_scandeck;
    std::string m_document;
};

TEST_F(Guard, AnExceptionFromTheExtractionIsCaughtLoggedAndQuarantined)
{
    std::string text;
    int nResult = Extract(ThrowRuntimeError, &text);
    ExpectEscapedFailure(nResult, text, dwCodeWithText, bPortable);
    ExpectCleanCallAfterwards();
}

TEST_F(Guard, OutOfMemoryIsCaughtAndALastErrorWithoutTextLogsNoSecondEntry)
{
    ASSERT_EQ("", SystemText(dwCodeWithoutText));
    std::string text;
    int nResult = Extract(ThrowBadAlloc, &text);
    ExpectEscapedFailure(nResult, text, dwCodeWithoutText, bPortable);
    ExpectCleanCallAfterwards();
}

#ifdef _WIN32
// A fault in the walk of a real document: the guard puts back the thread's exception
// frames and releases the document, so it is quarantined, opens again at once, and the
// host's own handlers see the host's next exceptions.
TEST_F(Guard, AFaultInTheWalkReleasesTheDocumentAndLeavesTheHostsHandlers)
{
    BiffStream stream;
    stream.Record(0x0204, Cat({Le16(0), Le16(0), Le16(15), Le16(5), {0x00}, Ascii("after")}));
    m_documentBytes = WriteCfb({{u"Workbook", std::string(stream.bytes.begin(), stream.bytes.end()), false}},
                               CfbOptions(), nullptr);
    ASSERT_TRUE(WriteFileBytes(m_document, m_documentBytes));
    const WalkFn pfnWalkSaved = g_pfnWalk;
#ifndef _WIN64
    // The host's frame, pushed before it calls the plug-in.
    EXCEPTION_REGISTRATION_RECORD hostFrame;
    PushFrame(&hostFrame, HostFrameHandler);
#endif
    g_pfnWalk = FaultInsideAFrame;
    std::string text;
    int nResult = Extract(ExtractXlsText, &text);
    g_pfnWalk = pfnWalkSaved;
#ifndef _WIN64
    EXPECT_EQ(&hostFrame, ReadFrameChain());
    g_fAbandonedFrameCalled = false;
    g_fHostFrameCalled = false;
    RaiseException(0xE0C0FFEE, 0, 0, nullptr);
    EXPECT_TRUE(g_fHostFrameCalled);
    EXPECT_FALSE(g_fAbandonedFrameCalled);
    WriteFrameChain(hostFrame.Next);
#endif
    bool fCaught = false;
    try {
        throw std::runtime_error("the host's own");
    } catch (const std::runtime_error &) {
        fCaught = true;
    }
    EXPECT_TRUE(fCaught);
    ExpectEscapedFailure(nResult, text, dwCodeWithText, true);

    // The document is closed: the same file opens and gives its text straight away.
    ASSERT_TRUE(ResetFolder(m_scandeck));
    EXPECT_EQ(5, Extract(ExtractXlsText, &text));
    EXPECT_EQ("after", text);
    EXPECT_TRUE(ListFiles(m_scandeck).empty());
}

TEST_F(Guard, AProcessorFaultIsTurnedIntoAFailureAndTheProcessGoesOn)
{
    std::string text;
    int nResult = Extract(WriteThroughNull, &text);
    ExpectEscapedFailure(nResult, text, dwCodeWithText, true);
    ExpectCleanCallAfterwards();

    ASSERT_TRUE(ResetFolder(m_scandeck));
    nResult = Extract(WriteThroughWildPointer, &text);
    ExpectEscapedFailure(nResult, text, dwCodeWithText, true);
    ExpectCleanCallAfterwards();
}
#endif

uint32_t SizeWithoutMemory(const char *)
{
    throw std::bad_alloc();
}

// The length export has a guard of its own: memory short there, for instance in the name's
// conversion, answers 0 instead of ending the host.
TEST(LengthGuard, AnExceptionGivesZeroAndTheNextCallWorks)
{
    const StreamSizeFn pfnSaved = g_pfnStreamSize;
    g_pfnStreamSize = SizeWithoutMemory;
    int cb = -1;
    EXPECT_NO_THROW(cb = GetLengthOfTextPortion("any.xls", 0));
    g_pfnStreamSize = pfnSaved;
    EXPECT_EQ(0, cb);
    const std::string sSample = std::string(CELLSIFT_SOURCE_DIR) + "/examples/sample.xls";
    EXPECT_GT(GetLengthOfTextPortion(sSample.c_str(), 0), 0);
}

} // namespace
