// The Scandeck folder read around a call: the log's size and the copy's presence before and
// after, and the entries past the old size with what the user already knows left out.
#include "ScandeckLog.h"

#include "Cp1251.h"
#include "output/OutputEscape.h"

#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

namespace {

std::string BaseName(const std::string &path)
{
    size_t ib = path.find_last_of('/');
    return ib == std::string::npos ? path : path.substr(ib + 1);
}

std::string MaskedPath(const std::string &path)
{
    std::string masked = path;
    for (char &ch : masked) {
        unsigned char b = static_cast<unsigned char>(ch);
        ch = b < 0x20 || b == 0x7F ? '?' : ch;
    }
    return masked;
}

// The messages of the entries that follow ibFrom in the log, without the document's path and
// the quarantine's marker, which say nothing the user does not know; joined by "; ".
std::string ReadLoggedMessages(const HostFolder &host, long long ibFrom, const std::string &path)
{
    static const char szMarker[] = " Error in cellsifter.dll : ";
    FILE *pf = fopen((host.scandeck + "Scandeck.log").c_str(), "rb");
    if (pf == nullptr) {
        return std::string();
    }
    std::string masked = MaskedPath(path);
    std::string messages;
    std::vector<std::string> seen;
    if (fseeko(pf, static_cast<off_t>(ibFrom > 0 ? ibFrom : 0), SEEK_SET) == 0) {
        char szLine[1024];
        while (fgets(szLine, sizeof szLine, pf) != nullptr) {
            std::string line(szLine);
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == '.')) {
                line.pop_back();
            }
            if (line.compare(0, sizeof szMarker - 1, szMarker) != 0) {
                continue;
            }
            std::string message = Cp1251ToUtf8(line.substr(sizeof szMarker - 1));
            if (message.empty() || message == masked || message == "BadBeep" ||
                std::find(seen.begin(), seen.end(), message) != seen.end()) {
                continue;
            }
            messages += (messages.empty() ? "" : "; ") + message;
            seen.push_back(message);
        }
    }
    fclose(pf);
    return messages;
}

} // namespace

ScandeckMark MarkScandeck(const HostFolder &host, const std::string &path)
{
    ScandeckMark mark;
    struct stat st;
    if (host.fReady && stat((host.scandeck + "Scandeck.log").c_str(), &st) == 0) {
        mark.cbLog = static_cast<long long>(st.st_size);
    }
    mark.fCopyExisted = host.fReady && stat((host.scandeck + BaseName(path)).c_str(), &st) == 0;
    return mark;
}

ScandeckChange ReadScandeckChange(const HostFolder &host, const std::string &path, const ScandeckMark &before)
{
    ScandeckMark after = MarkScandeck(host, path);
    ScandeckChange change;
    change.fLogged = after.cbLog > before.cbLog;
    change.fQuarantined = !before.fCopyExisted && after.fCopyExisted;
    if (change.fLogged) {
        change.logged = ReadLoggedMessages(host, before.cbLog, path);
    }
    return change;
}

std::string DescribeFailure(const HostFolder &host, const ScandeckChange &change, const std::string &path)
{
    std::string text = change.logged.empty() ? std::string("the plug-in logged no reason") : change.logged;
    if (!host.fReady) {
        text += " (log off: " + host.whyNot + ")";
    } else if (!host.userDir.empty() && change.fLogged) {
        text += " (logged to " + host.userDir + "Scandeck.log";
        text += change.fQuarantined ? "; copied to " + host.userDir + BaseName(path) + ")" : ")";
    }
    // The log quotes file names, and the copy is named like the file: one line whatever they hold.
    return PrintableName(text);
}
