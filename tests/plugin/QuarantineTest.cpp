// The quarantine copy on hostile documents: sizes that would fill the disk, a name that would
// become the log, and on the portable build sparse files and private copies.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/Win32.h"
#include "plugin/Quarantine.h"
#include "support/Scandeck.h"

namespace {

const char szTooLarge[] = "The document is larger than 256 MiB: not copied to the quarantine.";
const char szLogsName[] = "The document has the log's name: not copied to the quarantine.";
const uint64_t cbLimit = 256u << 20;

// Makes the file cb bytes long; the bytes past its content are a hole, which costs no disk.
bool SetFileLength(const std::string &path, uint64_t cb)
{
#ifdef _WIN32
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER li;
    li.QuadPart = (LONGLONG)cb;
    bool fOk = SetFilePointerEx(h, li, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    return fOk;
#else
    return truncate(path.c_str(), (off_t)cb) == 0;
#endif
}

class Quarantine : public testing::Test {
protected:
    void SetUp() override
    {
        char szHost[MAX_PATH];
        ASSERT_GT(GetHostProgramPath(szHost, sizeof(szHost)), 0);
        m_scandeck = ScandeckDirFor(szHost);
        ASSERT_TRUE(ResetFolder(m_scandeck)) << m_scandeck;
        // The documents live apart from the Scandeck folder, as the host's documents do.
        static const std::string sTag = std::to_string(std::random_device()() % 1000000000u);
        m_documents = DirectoryOf(szHost) + "quarantine-documents-" + sTag + szTestSep;
        ASSERT_TRUE(ResetFolder(m_documents)) << m_documents;
    }
    void TearDown() override
    {
        ResetFolder(m_documents);
        rmdir(m_documents.c_str());
        ResetFolder(m_scandeck);
    }

    std::vector<std::string> LogMessages() const { return ReadLogMessages(m_scandeck + "Scandeck.log"); }

    std::string m_scandeck;
    std::string m_documents;
};

TEST_F(Quarantine, WhatIsNotCopiedIsLoggedWithItsReason)
{
    const struct {
        const char *pszName;
        uint64_t cbLength; // 0: the content as it is
        const char *pszReason;
    } rgCase[] = {
        {"just-too-large.xls", cbLimit + 1, szTooLarge},
#ifndef _WIN32
        {"a-terabyte.xls", 1ull << 40, szTooLarge},
#endif
        {"Scandeck.log", 0, szLogsName},
        {"SCANDECK.LOG", 0, szLogsName},
#ifndef _WIN32
        // Windows drops trailing dots and spaces: this name would open the log there.
        {"scandeck.log. .", 0, szLogsName},
#endif
    };
    for (const auto &c : rgCase) {
        SCOPED_TRACE(c.pszName);
        ASSERT_TRUE(ResetFolder(m_scandeck));
        const std::string path = m_documents + c.pszName;
        ASSERT_TRUE(WriteFileBytes(path, "forged entry\n"));
        if (c.cbLength != 0) {
            ASSERT_TRUE(SetFileLength(path, c.cbLength));
        }
        QuarantineDocument(path.c_str());
        EXPECT_EQ((std::vector<std::string>{c.pszReason, "BadBeep", path}), LogMessages());
        EXPECT_EQ(std::vector<std::string>{"Scandeck.log"}, ListFiles(m_scandeck));
        remove(path.c_str());
    }
}

#ifndef _WIN32
// A sparse document at the limit is copied whole, its holes kept, and the copy is private to
// its owner whatever the document allowed.
TEST_F(Quarantine, TheCopyKeepsHolesAndIsPrivate)
{
    const std::string path = m_documents + "sparse.xls";
    ASSERT_TRUE(WriteFileBytes(path, "head"));
    ASSERT_TRUE(SetFileLength(path, cbLimit));
    int fd = open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(4, pwrite(fd, "tail", 4, (off_t)(cbLimit - 4)));
    ASSERT_EQ(4, pwrite(fd, "half", 4, (off_t)(cbLimit / 2)));
    close(fd);
    ASSERT_EQ(0, chmod(path.c_str(), 0644));

    QuarantineDocument(path.c_str());
    EXPECT_EQ((std::vector<std::string>{"BadBeep", path}), LogMessages());
    struct stat stSource, stCopy;
    ASSERT_EQ(0, stat(path.c_str(), &stSource));
    ASSERT_EQ(0, stat((m_scandeck + "sparse.xls").c_str(), &stCopy));
    EXPECT_EQ(stSource.st_size, stCopy.st_size);
    EXPECT_EQ(0600u, stCopy.st_mode & 07777u);
    // No more disk than the document's own blocks, give or take a block per piece of data.
    EXPECT_LE(stCopy.st_blocks, stSource.st_blocks + 3 * 8);
    fd = open((m_scandeck + "sparse.xls").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const struct {
        uint64_t ib;
        std::string sBytes;
    } rgPiece[] = {{0, "head"}, {4096, std::string(64, '\0')}, {cbLimit / 2, "half"}, {cbLimit - 4, "tail"}};
    for (const auto &piece : rgPiece) {
        std::string sRead(piece.sBytes.size(), 'x');
        EXPECT_EQ((ssize_t)sRead.size(), pread(fd, &sRead[0], sRead.size(), (off_t)piece.ib));
        EXPECT_EQ(piece.sBytes, sRead) << piece.ib;
    }
    close(fd);
    remove(path.c_str());
}
#endif

} // namespace
