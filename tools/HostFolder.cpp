// The private host folder: made in $TMPDIR, entered by re-executing the tool with a first
// argument inside it, its Scandeck entry a link to --scandeck DIR or a folder of its own.
#include "HostFolder.h"

#include <dirent.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Holds the private host folder across the one re-execution; a second one can never follow.
const char szHostFolderVariable[] = "CELLSIFT_HOST_FOLDER";
const char szProgramName[] = "cellsift";

void EmptyFolder(const std::string &dir)
{
    DIR *pDir = opendir(dir.c_str());
    if (pDir == nullptr) {
        return;
    }
    while (struct dirent *pEntry = readdir(pDir)) {
        if (strcmp(pEntry->d_name, ".") != 0 && strcmp(pEntry->d_name, "..") != 0) {
            unlink((dir + pEntry->d_name).c_str());
        }
    }
    closedir(pDir);
}

} // namespace

void ExecInPrivateHostFolder(char **argv, const std::string &userDir)
{
    if (getenv(szHostFolderVariable) != nullptr) {
        return;
    }
    char szExe[PATH_MAX];
    ssize_t cb = readlink("/proc/self/exe", szExe, sizeof szExe - 1);
    // A replaced or deleted program file ("... (deleted)") cannot be run again; the tool
    // then goes on without a log.
    if (cb <= 0 || (szExe[cb] = '\0', access(szExe, X_OK) != 0)) {
        return;
    }
    const char *pszTemp = getenv("TMPDIR");
    std::string dir =
        std::string(pszTemp != nullptr && *pszTemp != '\0' ? pszTemp : "/tmp") + "/cellsift-host.XXXXXX";
    if (mkdtemp(&dir[0]) == nullptr) {
        return;
    }
    std::string scandeck = dir + "/Scandeck";
    bool fMade = false;
    if (userDir.empty()) {
        fMade = mkdir(scandeck.c_str(), 0700) == 0;
    } else {
        char szUser[PATH_MAX];
        fMade = realpath(userDir.c_str(), szUser) != nullptr && symlink(szUser, scandeck.c_str()) == 0;
    }
    if (!fMade) {
        rmdir(dir.c_str());
        return;
    }
    setenv(szHostFolderVariable, dir.c_str(), 1);
    fflush(nullptr);
    std::string program = dir + "/" + szProgramName;
    argv[0] = &program[0];
    execv(szExe, argv);
    unsetenv(szHostFolderVariable);
    unlink(scandeck.c_str());
    rmdir(scandeck.c_str());
    rmdir(dir.c_str());
}

HostFolder PrepareHostFolder(const std::string &userDir)
{
    HostFolder host;
    host.fReady = false;
    if (!userDir.empty()) {
        host.userDir = userDir.back() == '/' ? userDir : userDir + "/";
    }
    const char *pszDir = getenv(szHostFolderVariable);
    struct stat st;
    if (pszDir == nullptr) {
        host.whyNot = "no private host folder could be made for the plug-in";
        return host;
    }
    host.dir = std::string(pszDir) + "/";
    host.scandeck = host.dir + "Scandeck/";
    unsetenv(szHostFolderVariable);
    host.fReady = stat(host.scandeck.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (!host.fReady) {
        host.whyNot = "the plug-in's folder is gone";
    }
    return host;
}

void ClearPrivateScandeck(const HostFolder &host)
{
    if (host.fReady && host.userDir.empty()) {
        EmptyFolder(host.scandeck);
    }
}

void ReleaseHostFolder(const HostFolder &host)
{
    if (host.dir.empty()) {
        return;
    }
    std::string scandeck = host.dir + "Scandeck";
    if (host.userDir.empty()) {
        EmptyFolder(host.scandeck);
        rmdir(scandeck.c_str());
    } else {
        unlink(scandeck.c_str());
    }
    rmdir(host.dir.c_str());
}
