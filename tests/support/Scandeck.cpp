// Test support: the Scandeck folder, the log parser and plain file access for the tests that
// look at what the library leaves on disk.
#include "support/Scandeck.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const char szPrefix[] = "\xC7\xE0\xEF\xE8\xF1\xFC \xEE\xF2 ";
const char szMarker[] = " Error in cellsifter.dll : ";
const size_t cchStamp = 24;

bool At(const std::string &bytes, size_t ib, const std::string &piece)
{
    return bytes.compare(ib, piece.size(), piece) == 0;
}

} // namespace

std::string DirectoryOf(const std::string &path)
{
    size_t ib = path.find_last_of("\\/");
    if (ib != std::string::npos) {
        return path.substr(0, ib + 1);
    }
    // A drive with no directory still names where the folder is.
    if (path.size() >= 2 && path[1] == ':') {
        return path.substr(0, 2);
    }
    return std::string();
}

std::string ScandeckDirFor(const std::string &hostPath)
{
    return DirectoryOf(hostPath) + "Scandeck" + szTestSep;
}

bool ResetFolder(const std::string &dir)
{
#ifdef _WIN32
    _mkdir(dir.c_str());
#else
    mkdir(dir.c_str(), 0700);
#endif
    for (const std::string &name : ListFiles(dir)) {
        if (remove((dir + name).c_str()) != 0) {
            return false;
        }
    }
    return FileExists(dir) && ListFiles(dir).empty();
}

std::vector<std::string> ListFiles(const std::string &dir)
{
    std::vector<std::string> names;
#ifdef _WIN32
    WIN32_FIND_DATAA data;
    HANDLE hFind = FindFirstFileA((dir + "*").c_str(), &data);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                names.push_back(data.cFileName);
            }
        } while (FindNextFileA(hFind, &data));
        FindClose(hFind);
    }
#else
    DIR *pDir = opendir(dir.c_str());
    if (pDir != nullptr) {
        while (struct dirent *pEntry = readdir(pDir)) {
            struct stat st;
            if (stat((dir + pEntry->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
                names.push_back(pEntry->d_name);
            }
        }
        closedir(pDir);
    }
#endif
    std::sort(names.begin(), names.end());
    return names;
}

bool FileExists(const std::string &path)
{
#ifdef _WIN32
    std::string trimmed = path;
    if (!trimmed.empty() && (trimmed.back() == '\\' || trimmed.back() == '/')) {
        trimmed.pop_back();
    }
    return GetFileAttributesA(trimmed.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat st;
    return stat(path.c_str(), &st) == 0;
#endif
}

std::string ReadFileBytes(const std::string &path)
{
    std::string bytes;
    FILE *pFile = fopen(path.c_str(), "rb");
    if (pFile == nullptr) {
        return bytes;
    }
    char rgb[65536];
    size_t cb;
    while ((cb = fread(rgb, 1, sizeof(rgb), pFile)) > 0) {
        bytes.append(rgb, cb);
    }
    fclose(pFile);
    return bytes;
}

bool WriteFileBytes(const std::string &path, const std::string &bytes)
{
    FILE *pFile = fopen(path.c_str(), "wb");
    if (pFile == nullptr) {
        return false;
    }
    bool fOk = fwrite(bytes.data(), 1, bytes.size(), pFile) == bytes.size();
    return fclose(pFile) == 0 && fOk;
}

bool IsTimeStamp(const std::string &stamp)
{
    static const char *const rgpszDay[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const rgpszMonth[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (stamp.size() != cchStamp) {
        return false;
    }
    auto isOneOf = [&](const char *const *rgpsz, size_t c, size_t ib) {
        for (size_t i = 0; i < c; i++) {
            if (stamp.compare(ib, 3, rgpsz[i]) == 0) {
                return true;
            }
        }
        return false;
    };
    // "Www Mmm DD HH:MM:SS YYYY": the day is zero-padded, never space-padded.
    const char szShape[] = "... ... 99 99:99:99 9999";
    for (size_t i = 0; i < cchStamp; i++) {
        char ch = stamp[i];
        if (szShape[i] == '9' ? (ch < '0' || ch > '9') : szShape[i] != '.' && ch != szShape[i]) {
            return false;
        }
    }
    return isOneOf(rgpszDay, 7, 0) && isOneOf(rgpszMonth, 12, 4);
}

std::vector<LogEntry> ParseLog(const std::string &bytes, std::string *psError)
{
    std::vector<LogEntry> entries;
    const std::string prefix = szPrefix, marker = szMarker, eol = szTestEol;
    size_t ib = 0;
    auto fail = [&](const char *pszWhat, size_t ibAt) {
        *psError = std::string(pszWhat) + " at offset " + std::to_string(ibAt);
        return entries;
    };
    psError->clear();
    while (ib < bytes.size()) {
        if (!At(bytes, ib, prefix)) {
            return fail("no entry prefix", ib);
        }
        LogEntry entry;
        entry.m_sStamp = bytes.substr(ib + prefix.size(), cchStamp);
        ib += prefix.size() + cchStamp;
        if (!At(bytes, ib, eol)) {
            return fail("no line end after the time stamp", ib);
        }
        ib += eol.size();
        if (!At(bytes, ib, marker)) {
            return fail("no marker", ib);
        }
        ib += marker.size();
        // The message ends at the line end that the next entry's prefix, or the file's end, follows.
        size_t ibEnd = bytes.find(eol + prefix, ib);
        if (ibEnd == std::string::npos) {
            if (bytes.size() < ib + eol.size() || !At(bytes, bytes.size() - eol.size(), eol)) {
                return fail("no line end after the last message", ib);
            }
            ibEnd = bytes.size() - eol.size();
        }
        std::string message = bytes.substr(ib, ibEnd - ib);
#ifdef _WIN32
        // Text mode wrote every line feed of the message as CR LF.
        std::string plain;
        for (size_t i = 0; i < message.size(); i++) {
            if (!(message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n')) {
                plain += message[i];
            }
        }
        message = plain;
#endif
        entry.m_sMessage = message;
        entries.push_back(entry);
        ib = ibEnd + eol.size();
    }
    return entries;
}

std::vector<std::string> ReadLogMessages(const std::string &logPath)
{
    std::string error;
    std::vector<LogEntry> entries = ParseLog(ReadFileBytes(logPath), &error);
    if (!error.empty()) {
        return {"malformed log: " + error};
    }
    std::vector<std::string> messages;
    for (const LogEntry &entry : entries) {
        if (!IsTimeStamp(entry.m_sStamp)) {
            return {"malformed time stamp: " + entry.m_sStamp};
        }
        messages.push_back(entry.m_sMessage);
    }
    return messages;
}
