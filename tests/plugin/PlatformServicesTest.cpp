// The platform seam the log and the quarantine rely on: path splitting (the project's own
// splitter held against the runtime's on Windows), the host program path, the file copy
// and, on the portable build, the system texts, local memory and wsprintfA.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/CommandLineRules.h"
#include "platform/SplitPathRules.h"
#include "platform/Win32.h"
#include "support/Scandeck.h"

namespace {

struct SplitCase {
    std::string path, drive, dir, fname, ext;
};

std::vector<SplitCase> SplitCases()
{
    std::string s300(300, 's');
    std::string s255(255, 's');
    return {
        {"C:\\Host\\host.exe", "C:", "\\Host\\", "host", ".exe"},
        {"host.exe", "", "", "host", ".exe"},
        {"C:host.exe", "C:", "", "host", ".exe"},
        {"C:", "C:", "", "", ""},
        {"", "", "", "", ""},
        {"\\\\server\\share\\a.b.c", "", "\\\\server\\share\\", "a.b", ".c"},
        {"dir/sub\\file", "", "dir/sub\\", "file", ""},
        {"dir.d/file", "", "dir.d/", "file", ""},
        {"dir/file.", "", "dir/", "file", "."},
        {"/tmp/.hidden", "", "/tmp/", "", ".hidden"},
        {"a/b/", "", "a/b/", "", ""},
        {"1:\\x", "1:", "\\", "x", ""},
        {":\\x.y", "", ":\\", "x", ".y"},
        {"x:\\.\\y.tar.gz", "x:", "\\.\\", "y.tar", ".gz"},
        {"Q:\\\xCE\xF2\xF7\xB8\xF2\\\xF4\xE0\xE9\xEB.xls", "Q:", "\\\xCE\xF2\xF7\xB8\xF2\\",
         "\xF4\xE0\xE9\xEB", ".xls"},
        // Pieces longer than 255 bytes are cut to 255.
        {"C:\\" + s300 + "\\f.e", "C:", ("\\" + s300 + "\\").substr(0, 255), "f", ".e"},
        {"d/" + s300 + ".ext", "", "d/", s255, ".ext"},
        {"d/f." + s300, "", "d/", "f", ("." + s300).substr(0, 255)},
    };
}

void ExpectSplit(const SplitCase &c, void (*pfnSplit)(const char *, char *, char *, char *, char *),
                 const char *pszWhich)
{
    char szDrive[cbDriveMax], szDir[cbDirMax], szFname[cbFnameMax], szExt[cbExtMax];
    memset(szDrive, 'X', sizeof szDrive);
    pfnSplit(c.path.c_str(), szDrive, szDir, szFname, szExt);
    EXPECT_EQ(c.drive, szDrive) << pszWhich << " " << c.path;
    EXPECT_EQ(c.dir, szDir) << pszWhich << " " << c.path;
    EXPECT_EQ(c.fname, szFname) << pszWhich << " " << c.path;
    EXPECT_EQ(c.ext, szExt) << pszWhich << " " << c.path;
}

// On Windows SplitPath is the runtime's _splitpath for these paths (all but the long
// ones), so the same table proves that the own splitter agrees with it.
TEST(SplitPath, RuntimeRulesForDriveDirectoryNameAndExtension)
{
    for (const SplitCase &c : SplitCases()) {
        ExpectSplit(c, SplitPath, "SplitPath");
        ExpectSplit(c, SplitPathByRules, "SplitPathByRules");
    }
}

TEST(SplitPath, NullPiecesAreSkipped)
{
    char szDrive[cbDriveMax], szDir[cbDirMax];
    SplitPath("C:\\Host\\host.exe", szDrive, szDir, nullptr, nullptr);
    EXPECT_STREQ("C:", szDrive);
    EXPECT_STREQ("\\Host\\", szDir);
    char szExt[cbExtMax];
    SplitPath(("C:\\" + std::string(400, 'd') + "\\f.e").c_str(), nullptr, nullptr, nullptr, szExt);
    EXPECT_STREQ(".e", szExt);
}

// The program name at the head of a command line, as the C runtime takes it; the Windows
// build finds the host program path this way.
TEST(FirstCommandLineArgument, TheRuntimeRulesForTheProgramName)
{
    const struct {
        const char *pszCommandLine;
        const char *pszFirst;
    } rgCase[] = {
        {"C:\\Host\\host.exe -index C:\\docs", "C:\\Host\\host.exe"},
        {"\"C:\\Program Files\\Host\\host.exe\" -index", "C:\\Program Files\\Host\\host.exe"},
        {"C:\\Host\\host.exe\t-index", "C:\\Host\\host.exe"},
        {"\"C:\\Program Files\\Host\\host.exe\"\t-index", "C:\\Program Files\\Host\\host.exe"},
        // Quotes toggle wherever they stand and are dropped.
        {"C:\\Program\" \"Files\\host.exe arg", "C:\\Program Files\\host.exe"},
        {"\"C:\\My Host\"\\host.exe arg", "C:\\My Host\\host.exe"},
        // A backslash before a quote stays a backslash, and the quote still counts.
        {"\"C:\\Host\\\"host.exe arg", "C:\\Host\\host.exe"},
        {"C:\\a\\\\\"b c\"\\host.exe arg", "C:\\a\\\\b c\\host.exe"},
        // An unclosed quote runs to the end.
        {"\"C:\\Host dir\\host.exe -x", "C:\\Host dir\\host.exe -x"},
        {"host.exe", "host.exe"},
        {"", ""},
        {"\"\" arg", ""},
        {" host.exe", ""},
        {"\thost.exe", ""},
    };
    for (const auto &c : rgCase) {
        char szFirst[MAX_PATH];
        memset(szFirst, 'X', sizeof szFirst);
        EXPECT_TRUE(FirstCommandLineArgument(c.pszCommandLine, szFirst, sizeof szFirst)) << c.pszCommandLine;
        EXPECT_STREQ(c.pszFirst, szFirst) << c.pszCommandLine;
    }
    // The name and its terminator must fit; a name that does not is no name at all.
    char szSmall[9];
    EXPECT_TRUE(FirstCommandLineArgument("\"host.exe\" arg", szSmall, sizeof szSmall));
    EXPECT_STREQ("host.exe", szSmall);
    EXPECT_FALSE(FirstCommandLineArgument("hosts.exe arg", szSmall, sizeof szSmall));
    EXPECT_STREQ("", szSmall);
}

TEST(GetHostProgramPath, NamesThisTestProgramAndRefusesASmallBuffer)
{
    char szPath[4096];
    int cch = GetHostProgramPath(szPath, sizeof szPath);
    ASSERT_GT(cch, 0);
    EXPECT_EQ((size_t)cch, strlen(szPath));
    char szFname[cbFnameMax];
    SplitPath(szPath, nullptr, nullptr, szFname, nullptr);
    EXPECT_STREQ("cellsift_tests", szFname);
    FILE *pFile = fopen(szPath, "rb");
    EXPECT_NE(nullptr, pFile) << szPath;
    if (pFile != nullptr) {
        fclose(pFile);
    }

    // One byte short: the path fits but its terminator does not.
    char szSmall[sizeof szPath];
    memset(szSmall, 'X', sizeof szSmall);
    EXPECT_EQ(0, GetHostProgramPath(szSmall, (size_t)cch));
    EXPECT_EQ('\0', szSmall[0]);
    EXPECT_EQ(cch, GetHostProgramPath(szSmall, (size_t)cch + 1));
    EXPECT_STREQ(szPath, szSmall);
}

std::string TempPath(const char *pszName)
{
#ifdef _WIN32
    char szTemp[MAX_PATH];
    GetTempPathA(sizeof szTemp, szTemp);
    return std::string(szTemp) + "cellsift_copy_" + std::to_string(GetCurrentProcessId()) + "_" + pszName;
#else
    return "/tmp/cellsift_copy_" + std::to_string(getpid()) + "_" + pszName;
#endif
}

void WriteFile(const std::string &path, const std::string &bytes)
{
    FILE *pFile = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, pFile);
    fwrite(bytes.data(), 1, bytes.size(), pFile);
    fclose(pFile);
}

// The file's bytes, or "(missing)" when there is no such file.
std::string ReadFile(const std::string &path)
{
    return FileExists(path) ? ReadFileBytes(path) : "(missing)";
}

TEST(CopyFileA, CopiesWholeAndNeverReplacesWhenAskedNotTo)
{
    std::string source = TempPath("source.xls");
    std::string dest = TempPath("dest.xls");
    std::string content;
    // Several of the copy's chunks, the last one partial, with every byte value.
    for (size_t i = 0; content.size() < (5u << 19) + 777; i++) {
        content += (char)(i * 7 + i / 256);
    }
    WriteFile(source, content);
    remove(dest.c_str());

    EXPECT_TRUE(CopyFileA(source.c_str(), dest.c_str(), TRUE));
    EXPECT_TRUE(ReadFile(dest) == content);

    WriteFile(dest, "earlier copy");
    SetLastError(0);
    EXPECT_FALSE(CopyFileA(source.c_str(), dest.c_str(), TRUE));
    EXPECT_NE(0u, (unsigned)GetLastError());
    EXPECT_EQ("earlier copy", ReadFile(dest));

    EXPECT_TRUE(CopyFileA(source.c_str(), dest.c_str(), FALSE));
    EXPECT_TRUE(ReadFile(dest) == content);

    remove(dest.c_str());
    remove(source.c_str());
}

TEST(CopyFileA, MissingSourceOrFolderCreatesNothing)
{
    std::string missing = TempPath("missing.xls");
    std::string dest = TempPath("never.xls");
    remove(missing.c_str());
    remove(dest.c_str());
    SetLastError(0);
    EXPECT_FALSE(CopyFileA(missing.c_str(), dest.c_str(), TRUE));
    EXPECT_EQ(2u, (unsigned)GetLastError()); // ERROR_FILE_NOT_FOUND
    EXPECT_EQ("(missing)", ReadFile(dest));

    std::string source = TempPath("present.xls");
    WriteFile(source, "abc");
    std::string inMissingFolder = TempPath("no_such_folder") + "/x.xls";
    SetLastError(0);
    EXPECT_FALSE(CopyFileA(source.c_str(), inMissingFolder.c_str(), TRUE));
    EXPECT_EQ(3u, (unsigned)GetLastError()); // ERROR_PATH_NOT_FOUND
    remove(source.c_str());
}

#ifndef _WIN32
TEST(CopyFileA, RefusesASymbolicLinkAtTheDestination)
{
    std::string source = TempPath("link_source.xls");
    std::string target = TempPath("link_target");
    std::string link = TempPath("link.xls");
    WriteFile(source, "document");
    WriteFile(target, "must stay");
    remove(link.c_str());
    ASSERT_EQ(0, symlink(target.c_str(), link.c_str()));

    EXPECT_FALSE(CopyFileA(source.c_str(), link.c_str(), TRUE));
    EXPECT_FALSE(CopyFileA(source.c_str(), link.c_str(), FALSE));
    EXPECT_EQ("must stay", ReadFile(target));
    struct stat st;
    ASSERT_EQ(0, lstat(link.c_str(), &st));
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // A dangling link must not be followed into creating its target either.
    remove(target.c_str());
    EXPECT_FALSE(CopyFileA(source.c_str(), link.c_str(), TRUE));
    EXPECT_EQ("(missing)", ReadFile(target));

    remove(link.c_str());
    remove(source.c_str());
}

TEST(CopyFileA, RefusesToCopyAFileOntoItselfOrFromAFolder)
{
    std::string source = TempPath("self.xls");
    WriteFile(source, "keep me");
    EXPECT_FALSE(CopyFileA(source.c_str(), source.c_str(), FALSE));
    EXPECT_EQ("keep me", ReadFile(source));
    std::string dest = TempPath("from_folder.xls");
    EXPECT_FALSE(CopyFileA("/tmp", dest.c_str(), TRUE));
    EXPECT_EQ("(missing)", ReadFile(dest));
    remove(source.c_str());
}

TEST(PortableFormatMessage, EveryTableCodeHasATextEndingInCrLfOthersNone)
{
    const HRESULT rghr[] = {
        STG_E_FILENOTFOUND,   STG_E_PATHNOTFOUND, STG_E_ACCESSDENIED,      STG_E_INSUFFICIENTMEMORY,
        STG_E_INVALIDPOINTER, STG_E_READFAULT,    STG_E_FILEALREADYEXISTS, STG_E_INVALIDPARAMETER,
        STG_E_OLDFORMAT,      STG_E_INVALIDNAME,  STG_E_INVALIDFLAG,       STG_E_DOCFILECORRUPT,
        E_OUTOFMEMORY};
    for (HRESULT hr : rghr) {
        char *psz = nullptr;
        DWORD cch = FormatMessageA(0x1100, nullptr, (DWORD)hr, 0x400, (LPSTR)&psz, 0, nullptr);
        ASSERT_NE(nullptr, psz) << std::hex << hr;
        EXPECT_EQ(cch, strlen(psz));
        EXPECT_GT(cch, 2u);
        EXPECT_EQ(std::string("\r\n"), std::string(psz).substr(cch - 2)) << psz;
        LocalFree(psz);
    }
    for (DWORD dw : {0u, 2u, 0x80030001u, 0x80040201u, 0x8007000Fu}) {
        char *psz = nullptr;
        SetLastError(0);
        EXPECT_EQ(0u, FormatMessageA(0x1100, nullptr, dw, 0x400, (LPSTR)&psz, 0, nullptr));
        EXPECT_EQ(nullptr, psz);
        EXPECT_NE(0u, GetLastError());
    }
}

TEST(PortableFormatMessage, WsprintfFormatsAsTheCLibraryAndCapsAt1024)
{
    char sz[2048];
    EXPECT_EQ(24, wsprintfA(sz, "Unknown error 0x%0lX", (unsigned long)0x80040200u));
    EXPECT_STREQ("Unknown error 0x80040200", sz);
    EXPECT_EQ(18, wsprintfA(sz, "IDispatch error #%d", 1));
    EXPECT_STREQ("IDispatch error #1", sz);
    std::string s1500(1500, 'a');
    EXPECT_EQ(1023, wsprintfA(sz, "%s", s1500.c_str()));
    EXPECT_EQ(1023u, strlen(sz));
}
#endif

} // namespace
