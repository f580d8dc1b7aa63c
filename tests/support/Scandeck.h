// Test support: the host's "Scandeck" folder as the tests see it on disk, its log read back
// entry by entry, and the few file operations the host-level tests need on both systems.
#ifndef CELLSIFT_TESTS_SUPPORT_SCANDECK_H
#define CELLSIFT_TESTS_SUPPORT_SCANDECK_H

#include <string>
#include <vector>

#ifdef _WIN32
const char szTestSep[] = "\\";
const char szTestEol[] = "\r\n";
#else
const char szTestSep[] = "/";
const char szTestEol[] = "\n";
#endif

// Drive and directory of a program path, separator included: "" for a bare name.
std::string DirectoryOf(const std::string &path);

// The "Scandeck" folder beside the program named by hostPath, with its trailing separator.
std::string ScandeckDirFor(const std::string &hostPath);

// Creates the folder if needed and removes every file in it; false when that failed.
bool ResetFolder(const std::string &dir);
// Names of the plain files in a folder, sorted.
std::vector<std::string> ListFiles(const std::string &dir);

bool FileExists(const std::string &path);
std::string ReadFileBytes(const std::string &path);
bool WriteFileBytes(const std::string &path, const std::string &bytes);

// One log entry as read back: its time stamp and its message, text-mode line ends undone.
struct LogEntry {
    std::string m_sStamp;
    std::string m_sMessage;
};

// Splits the log into entries. Anything that is not prefix, 24-character stamp, line end,
// marker, message, line end puts a description of the first bad offset into *psError.
std::vector<LogEntry> ParseLog(const std::string &bytes, std::string *psError);
// The messages only; a malformed log gives a single message that says where it went wrong.
std::vector<std::string> ReadLogMessages(const std::string &logPath);

// True when the stamp has the form "Mon Dec 07 09:05:03 2026".
bool IsTimeStamp(const std::string &stamp);

#endif
