// The diagnostic log as a host program leaves it on disk, byte for byte apart from the
// time stamp's digits, and the error texts of storage codes.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#include <process.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "log/Log.h"
#include "support/Fifo.h"
#include "support/Scandeck.h"

namespace {

#ifdef _WIN32
const char szSep[] = "\\";
const char szEol[] = "\r\n";
const char szHostName[] = "cellsift_loghost.exe";
#else
const char szSep[] = "/";
const char szEol[] = "\n";
const char szHostName[] = "cellsift_loghost";
#endif
const char szPrefix[] = "\xC7\xE0\xEF\xE8\xF1\xFC \xEE\xF2 ";
const char szMarker[] = " Error in cellsifter.dll : ";
const size_t cchStamp = 24;

std::string BuiltHostPath()
{
    std::string path = CELLSIFT_LOGHOST;
#ifdef _WIN32
    // Under Wine the build tree's Unix path is reached through drive Z:.
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
    }
#endif
    return path;
}

bool MakeDir(const std::string &path)
{
#ifdef _WIN32
    return _mkdir(path.c_str()) == 0;
#else
    return mkdir(path.c_str(), 0700) == 0;
#endif
}

bool Exists(const std::string &path)
{
    FILE *pFile = fopen(path.c_str(), "rb");
    if (pFile != nullptr) {
        fclose(pFile);
        return true;
    }
#ifdef _WIN32
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
#endif
}

std::string Hex(const std::string &text)
{
    static const char rgchDigit[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char b : text) {
        hex += rgchDigit[b >> 4];
        hex += rgchDigit[b & 15];
    }
    return hex;
}

// A folder of the test's own holding a copy of the host program, optionally with the
// "Scandeck" folder beside it. Removed with what the host left in it.
struct HostFolder {
    std::string name; // the host program's file name
    std::string dir;  // with its trailing separator
    std::string host;
    std::string log;

    explicit HostFolder(bool fScandeck, size_t cchDirPadding = 0, const std::string &hostName = szHostName)
            : name(hostName)
    {
#ifdef _WIN32
        char szTemp[MAX_PATH];
        GetTempPathA(sizeof szTemp, szTemp);
        static int nFolder = 0;
        std::string base = std::string(szTemp) + "cellsift_log_" + std::to_string(GetCurrentProcessId()) +
                           "_" + std::to_string(++nFolder);
        EXPECT_TRUE(MakeDir(base)) << base;
#else
        char szTemplate[] = "/tmp/cellsift_log_XXXXXX";
        std::string base = mkdtemp(szTemplate) ? szTemplate : "";
        EXPECT_FALSE(base.empty());
#endif
        created.push_back(base);
        dir = base + szSep;
        if (cchDirPadding > dir.size() + 1) {
            dir += std::string(cchDirPadding - dir.size() - 1, 'p');
            EXPECT_TRUE(MakeDir(dir)) << dir;
            created.push_back(dir);
            dir += szSep;
        }
        host = dir + name;
        EXPECT_TRUE(CopyFileA(BuiltHostPath().c_str(), host.c_str(), TRUE)) << host;
#ifndef _WIN32
        chmod(host.c_str(), 0700);
#endif
        log = dir + "Scandeck" + szSep + "Scandeck.log";
        if (fScandeck) {
            EXPECT_TRUE(MakeDir(dir + "Scandeck"));
        }
    }

    ~HostFolder()
    {
        remove(log.c_str());
        remove(host.c_str());
        rmdir((dir + "Scandeck").c_str());
        for (auto it = created.rbegin(); it != created.rend(); ++it) {
            rmdir(it->c_str());
        }
    }

    // Runs the host with the given operations, as argv0 names it (the full path, or the
    // bare name from this folder as the current directory); returns its exit code.
    int Run(const std::vector<std::string> &ops, bool fBareName = false) const
    {
        std::vector<std::string> args;
        args.push_back(fBareName ? name : host);
        args.insert(args.end(), ops.begin(), ops.end());
#ifdef _WIN32
        // _spawnv joins the arguments with spaces as they are; the quotes keep a path with
        // spaces whole.
        for (std::string &arg : args) {
            arg = "\"" + arg + "\"";
        }
        std::vector<const char *> argv;
        for (const std::string &arg : args) {
            argv.push_back(arg.c_str());
        }
        argv.push_back(nullptr);
        char szCwd[MAX_PATH];
        EXPECT_NE(nullptr, _getcwd(szCwd, sizeof szCwd));
        if (fBareName) {
            EXPECT_EQ(0, _chdir(dir.c_str()));
        }
        intptr_t nExit = _spawnv(_P_WAIT, host.c_str(), argv.data());
        EXPECT_EQ(0, _chdir(szCwd));
        return (int)nExit;
#else
        std::vector<char *> argv;
        for (std::string &arg : args) {
            argv.push_back(&arg[0]);
        }
        argv.push_back(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            if (fBareName && chdir(dir.c_str()) != 0) {
                _exit(126);
            }
            execv(host.c_str(), argv.data());
            _exit(127);
        }
        int nStatus = 0;
        EXPECT_EQ(pid, waitpid(pid, &nStatus, 0));
        return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
#endif
    }

private:
    std::vector<std::string> created;
};

// What the text mode of the build makes of a message's line feeds.
std::string AsWritten(const std::string &message)
{
    std::string written;
    for (char ch : message) {
        if (ch == '\n') {
            written += szEol;
        } else {
            written += ch;
        }
    }
    return written;
}

// Checks one time stamp: the fixed form with a zero-padded day, naming a moment between
// tFrom and tTo (whole seconds, local time).
void ExpectStamp(const std::string &stamp, time_t tFrom, time_t tTo)
{
    static const char *const rgpszWeekday[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const rgpszMonth[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    ASSERT_EQ(cchStamp, stamp.size());
    const char *pattern = "aaa aaa 00 00:00:00 0000";
    for (size_t i = 0; i < cchStamp; i++) {
        if (pattern[i] == '0') {
            ASSERT_TRUE(stamp[i] >= '0' && stamp[i] <= '9') << stamp;
        } else if (pattern[i] != 'a') {
            ASSERT_EQ(pattern[i], stamp[i]) << stamp;
        }
    }
    int nWeekday = -1, nMonth = -1;
    for (int i = 0; i < 7; i++) {
        if (stamp.compare(0, 3, rgpszWeekday[i]) == 0) {
            nWeekday = i;
        }
    }
    for (int i = 0; i < 12; i++) {
        if (stamp.compare(4, 3, rgpszMonth[i]) == 0) {
            nMonth = i;
        }
    }
    ASSERT_NE(-1, nWeekday) << stamp;
    ASSERT_NE(-1, nMonth) << stamp;
    struct tm tmStamp = {};
    tmStamp.tm_mon = nMonth;
    tmStamp.tm_mday = atoi(stamp.substr(8, 2).c_str());
    tmStamp.tm_hour = atoi(stamp.substr(11, 2).c_str());
    tmStamp.tm_min = atoi(stamp.substr(14, 2).c_str());
    tmStamp.tm_sec = atoi(stamp.substr(17, 2).c_str());
    tmStamp.tm_year = atoi(stamp.substr(20, 4).c_str()) - 1900;
    tmStamp.tm_isdst = -1;
    time_t t = mktime(&tmStamp);
    EXPECT_GE(t, tFrom - 1) << stamp;
    EXPECT_LE(t, tTo + 1) << stamp;
    EXPECT_EQ(nWeekday, tmStamp.tm_wday) << stamp;
}

// Compares the log with one entry per message, byte for byte; each time stamp is checked
// on its own and then masked.
void ExpectLog(const std::string &bytes, const std::vector<std::string> &messages, time_t tFrom, time_t tTo,
               const std::string &before = "")
{
    std::string expected = before;
    std::string actual = bytes;
    for (const std::string &message : messages) {
        expected += szPrefix;
        size_t ibStamp = expected.size();
        expected += std::string(cchStamp, '#') + szEol + szMarker + AsWritten(message) + szEol;
        ASSERT_GE(actual.size(), ibStamp + cchStamp);
        ExpectStamp(actual.substr(ibStamp, cchStamp), tFrom, tTo);
        actual.replace(ibStamp, cchStamp, cchStamp, '#');
    }
    EXPECT_EQ(expected, actual);
}

size_t CountLines(const std::string &bytes)
{
    size_t cLines = 0;
    for (size_t ib = bytes.find(szEol); ib != std::string::npos; ib = bytes.find(szEol, ib + 1)) {
        cLines++;
    }
    return cLines;
}

std::string ErrorText(HRESULT hr)
{
    char *pszText = GetErrorText(hr);
    std::string text = pszText ? pszText : "(null)";
    LocalFree(pszText);
    return text;
}

// Noon UTC keeps the local date the same in every time zone within twelve hours of UTC.
TEST(FormatLogTimeStamp, CtimeFormWithZeroPaddedDay)
{
    const struct {
        time_t t;
        const char *pszDate;
        const char *pszYear;
    } rgCase[] = {
        {1228651200, "Sun Dec 07 ", " 2008\n"},
        {1609848000, "Tue Jan 05 ", " 2021\n"},
        {1287835200, "Sat Oct 23 ", " 2010\n"},
        {1709208000, "Thu Feb 29 ", " 2024\n"},
    };
    for (const auto &c : rgCase) {
        char szStamp[cbLogTimeStamp];
        FormatLogTimeStamp(c.t, szStamp);
        std::string stamp = szStamp;
        ASSERT_EQ(cchStamp + 1, stamp.size()) << stamp;
        EXPECT_EQ(c.pszDate, stamp.substr(0, 11));
        EXPECT_EQ(c.pszYear, stamp.substr(19));
        ExpectStamp(stamp.substr(0, cchStamp), c.t, c.t);
    }
}

TEST(WriteLog, ThreeEntriesGiveSixLinesWithPrefixStampMarkerAndMessage)
{
    HostFolder folder(true);
    time_t tFrom = time(nullptr);
    EXPECT_EQ(3, folder.Run({"w" + Hex("first"), "w" + Hex("second"), "w" + Hex("third")}));
    time_t tTo = time(nullptr);
    std::string bytes = ReadFileBytes(folder.log);
    ExpectLog(bytes, {"first", "second", "third"}, tFrom, tTo);
    EXPECT_EQ(6u, CountLines(bytes));
#ifdef _WIN32
    EXPECT_EQ(6u, (size_t)std::count(bytes.begin(), bytes.end(), '\n'));
#else
    EXPECT_EQ(std::string::npos, bytes.find('\r'));
#endif
}

TEST(WriteLog, MessageBytesPassUnchangedAndLineFeedsFollowTextMode)
{
    HostFolder folder(true);
    std::string message = "\xC4\xEE\xEA\xF3\xEC\xE5\xED\xF2 \x01\t\x7F\xFF CR-LF\r\nLF\nend";
    std::string empty;
    time_t tFrom = time(nullptr);
    EXPECT_EQ(2, folder.Run({"w" + Hex(message), "w" + Hex(empty)}));
    time_t tTo = time(nullptr);
    std::string bytes = ReadFileBytes(folder.log);
    ExpectLog(bytes, {message, empty}, tFrom, tTo);
#ifdef _WIN32
    // A CR already before a line feed stays, giving CR CR LF.
    EXPECT_NE(std::string::npos, bytes.find("CR-LF\r\r\nLF\r\nend\r\n"));
#endif
}

TEST(WriteLog, LongMessageIsWrittenWhole)
{
    HostFolder folder(true);
    std::string message;
    for (int i = 0; message.size() < 3000; i++) {
        message += "C:\\documents\\part" + std::to_string(i) + ".xls ";
    }
    std::string edge(512 - 10 - 25 - 27 - 1, 'e'); // exactly fills the fixed line
    time_t tFrom = time(nullptr);
    EXPECT_EQ(3, folder.Run({"w" + Hex(message), "w" + Hex(edge), "w" + Hex(edge + "f")}));
    time_t tTo = time(nullptr);
    ExpectLog(ReadFileBytes(folder.log), {message, edge, edge + "f"}, tFrom, tTo);
}

TEST(WriteLog, AppendsToAnExistingLog)
{
    HostFolder folder(true);
    std::string before = std::string("earlier entry") + szEol;
    FILE *pFile = fopen(folder.log.c_str(), "wb");
    ASSERT_NE(nullptr, pFile);
    fputs(before.c_str(), pFile);
    fclose(pFile);
    time_t tFrom = time(nullptr);
    EXPECT_EQ(1, folder.Run({"w" + Hex("later")}));
    time_t tTo = time(nullptr);
    ExpectLog(ReadFileBytes(folder.log), {"later"}, tFrom, tTo, before);
}

TEST(WriteLog, NullMessageCreatesNoFile)
{
    HostFolder folder(true);
    EXPECT_EQ(0, folder.Run({"n", "n"}));
    EXPECT_FALSE(Exists(folder.log));
}

TEST(WriteLog, MissingFolderLosesTheEntryAndCreatesNothing)
{
    HostFolder folder(false);
    EXPECT_EQ(0, folder.Run({"w" + Hex("lost"), "n"}));
    EXPECT_FALSE(Exists(folder.dir + "Scandeck"));
    EXPECT_FALSE(Exists(folder.dir + "Scandeck.log"));
}

TEST(WriteLog, BareProgramNameFindsTheFolderInTheCurrentDirectory)
{
    HostFolder folder(true);
    time_t tFrom = time(nullptr);
    EXPECT_EQ(1, folder.Run({"w" + Hex("from the current directory")}, true));
    time_t tTo = time(nullptr);
    ExpectLog(ReadFileBytes(folder.log), {"from the current directory"}, tFrom, tTo);
}

// The log path is directory + "Scandeck\Scandeck.log" (21 bytes) and must fit MAX_PATH with
// its terminator: a 238-byte directory is the longest that does.
TEST(WriteLog, LogPathOfMaxPathMinusOneIsWrittenOneLongerIsNot)
{
    HostFolder fits(true, 238);
    ASSERT_EQ(238u, fits.dir.size());
    ASSERT_EQ(259u, fits.log.size());
    EXPECT_EQ(1, fits.Run({"w" + Hex("fits")}));
    EXPECT_EQ(1u, CountLines(ReadFileBytes(fits.log)) / 2);

    HostFolder tooLong(true, 239);
    ASSERT_EQ(239u, tooLong.dir.size());
    EXPECT_EQ(0, tooLong.Run({"w" + Hex("too long")}));
    EXPECT_FALSE(Exists(tooLong.log));
}

TEST(LogStorageFailure, WritesErrorTextContextAndPathAndRaisesTheFlag)
{
    HostFolder folder(true);
    std::string path = "C:\\In Box\\\xCE\xF2\xF7\xE5\xF2.xls";
    time_t tFrom = time(nullptr);
    EXPECT_EQ(100, folder.Run({"s80030002", Hex("StgOpenStorage"), Hex(path), "s80031234",
                               Hex("lpStorage->OpenStream(T2COLE(Workbook)"), Hex(path)}));
    time_t tTo = time(nullptr);
    std::string bytes = ReadFileBytes(folder.log);
    ExpectLog(bytes,
              {ErrorText(STG_E_FILENOTFOUND), "StgOpenStorage", path, ErrorText(0x80031234),
               "lpStorage->OpenStream(T2COLE(Workbook)", path},
              tFrom, tTo);
    EXPECT_EQ(12u, CountLines(bytes));
}

// Line breaks in a document's name would start entries of the name's own making.
TEST(WriteLogPath, ControlCharactersOfAPathAreWrittenAsQuestionMarks)
{
    HostFolder folder(true);
    const std::string path = "C:\\In\nBadBeep\r\x01\x1F\x7F \xC4\xEE\xEA.xls";
    const std::string masked = "C:\\In?BadBeep???? \xC4\xEE\xEA.xls";
    time_t tFrom = time(nullptr);
    EXPECT_EQ(101, folder.Run({"p" + Hex(path), "s80030002", Hex("StgOpenStorage"), Hex(path)}));
    time_t tTo = time(nullptr);
    ExpectLog(ReadFileBytes(folder.log), {masked, ErrorText(STG_E_FILENOTFOUND), "StgOpenStorage", masked},
              tFrom, tTo);
}

#ifndef _WIN32
// A link planted under the log's name is not followed, dangling or not, and a FIFO there is
// not waited on: the entry is lost, as with a log that cannot be opened.
TEST(WriteLog, TheLogIsNeverALinkOrAFifo)
{
    HostFolder folder(true);
    const std::string target = folder.dir + "target";
    for (const char *pszKind : {"link", "dangling link", "fifo"}) {
        SCOPED_TRACE(pszKind);
        remove(folder.log.c_str());
        remove(target.c_str());
        std::string kind = pszKind;
        if (kind == "link") {
            ASSERT_TRUE(WriteFileBytes(target, "not the log"));
        }
        if (kind == "fifo") {
            ASSERT_EQ(0, mkfifo(folder.log.c_str(), 0600));
        } else {
            ASSERT_EQ(0, symlink(target.c_str(), folder.log.c_str()));
        }
        int nWritten = -1;
        EXPECT_TRUE(ReturnsUnaided(folder.log, false, [&] { nWritten = folder.Run({"w" + Hex("entry")}); }));
        EXPECT_EQ(0, nWritten);
        EXPECT_EQ(kind == "link" ? "not the log" : "(none)",
                  Exists(target) ? ReadFileBytes(target) : "(none)");
    }
    remove(folder.log.c_str());
    remove(target.c_str());
}
#endif

#ifndef _WIN32
// The log and the quarantine find the Scandeck folder by the same rule: a host path longer
// than MAX_PATH, whose folder still leaves room, sends both there and nowhere else. (The
// Windows file calls taking ANSI paths cannot copy or start such a host.)
TEST(QuarantineDocument, ALongHostPathSendsTheCopyWhereTheLogGoes)
{
    const std::string name(200, 'h');
    HostFolder folder(true, 80, name);
    ASSERT_GT(folder.host.size(), (size_t)MAX_PATH);
    const std::string document = folder.dir + "long-host-document.xls";
    const std::string inCurrentFolder = std::string("Scandeck") + szSep + "long-host-document.xls";
    remove(inCurrentFolder.c_str());
    ASSERT_TRUE(WriteFileBytes(document, "copied"));
    EXPECT_EQ(0, folder.Run({"q" + Hex(document)}));
    EXPECT_EQ((std::vector<std::string>{"BadBeep", document}), ReadLogMessages(folder.log));
    const std::string copy = folder.dir + "Scandeck" + szSep + "long-host-document.xls";
    EXPECT_EQ("copied", Exists(copy) ? ReadFileBytes(copy) : "(none)");
    EXPECT_FALSE(Exists(inCurrentFolder));
    remove(copy.c_str());
    remove(inCurrentFolder.c_str());
    remove(document.c_str());
}
#endif

TEST(LogStorageFailure, NullPathLeavesTwoEntriesAndStillRaisesTheFlag)
{
    HostFolder folder(true);
    time_t tFrom = time(nullptr);
    EXPECT_EQ(100, folder.Run({"S80040201", Hex("StgOpenStorage")}));
    time_t tTo = time(nullptr);
    ExpectLog(ReadFileBytes(folder.log), {ErrorText(0x80040201), "StgOpenStorage"}, tFrom, tTo);
}

// The system's own text when it has one for hr; the plug-in's fallback text otherwise.
// The portable build has no texts in these ranges, so there the fallback is certain.
std::string ExpectedText(HRESULT hr, const std::string &fallback)
{
    char *pszSystem = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, (DWORD)hr, 0x400,
                   (LPSTR)&pszSystem, 0, nullptr);
#ifndef _WIN32
    EXPECT_EQ(nullptr, pszSystem);
#endif
    if (pszSystem == nullptr) {
        return fallback;
    }
    std::string text = pszSystem;
    LocalFree(pszSystem);
    if (text.size() > 1 && text.back() == '\n') {
        text.pop_back();
        if (text.back() == '\r') {
            text.pop_back();
        }
    }
    return text;
}

TEST(GetErrorText, FallbackTextsForCodesWithoutSystemText)
{
    EXPECT_EQ(ExpectedText(0x80040201, "IDispatch error #1"), ErrorText(0x80040201));
    EXPECT_EQ(ExpectedText(0x8004FFFF, "IDispatch error #65023"), ErrorText(0x8004FFFF));
    EXPECT_EQ(ExpectedText(0x80040200, "Unknown error 0x80040200"), ErrorText(0x80040200));
    EXPECT_EQ(ExpectedText(0x80050000, "Unknown error 0x80050000"), ErrorText(0x80050000));
    EXPECT_EQ(ExpectedText(0x8003F0F0, "Unknown error 0x8003F0F0"), ErrorText(0x8003F0F0));
    EXPECT_EQ(ExpectedText(0x0003F0F0, "Unknown error 0x3F0F0"), ErrorText(0x0003F0F0));
}

TEST(GetErrorText, SystemTextLosesItsTrailingLineBreakOnly)
{
#ifdef _WIN32
    // Which codes have a text depends on the system (Wine has none for the storage codes),
    // so every one that has a text is checked, and at least one must.
    int cWithText = 0;
    for (HRESULT hr : {STG_E_FILENOTFOUND, (HRESULT)0x80070002, E_OUTOFMEMORY}) {
        std::string text = ErrorText(hr);
        if (text.compare(0, 14, "Unknown error ") == 0) {
            continue;
        }
        cWithText++;
        ASSERT_FALSE(text.empty());
        EXPECT_NE('\n', text.back());
        EXPECT_NE('\r', text.back());
        EXPECT_EQ(ExpectedText(hr, "(no system text)"), text);
    }
    EXPECT_GT(cWithText, 0);
#else
    EXPECT_EQ("The file could not be found.", ErrorText(STG_E_FILENOTFOUND));
    EXPECT_EQ("Out of memory.", ErrorText(E_OUTOFMEMORY));
    EXPECT_EQ("The compound document is damaged.", ErrorText(STG_E_DOCFILECORRUPT));
#endif
}

} // namespace
