// The scratch file of the file-based fuzz targets: where it lives and how each input
// replaces its content.
#include "FuzzFile.h"

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

std::string MakePath()
{
    std::string sDir;
#ifdef _WIN32
    sDir = std::filesystem::temp_directory_path().string();
    unsigned long nId = GetCurrentProcessId();
#else
    std::error_code ec;
    sDir = std::filesystem::is_directory("/dev/shm", ec) ? std::string("/dev/shm")
                                                         : std::filesystem::temp_directory_path().string();
    unsigned long nId = static_cast<unsigned long>(getpid());
#endif
    if (!sDir.empty() && sDir.back() != '/' && sDir.back() != '\\') {
        sDir += '/';
    }
    return sDir + "cellsift-fuzz-" + std::to_string(nId) + ".xls";
}

const std::string &ScratchPath()
{
    static const std::string sPath = MakePath();
    // A file left behind by a run that ended in a crash would pile up in /dev/shm.
    static const int nCleanup = atexit([] { remove(ScratchPath().c_str()); });
    (void)nCleanup;
    return sPath;
}

} // namespace

const char *FuzzFilePath()
{
    return ScratchPath().c_str();
}

bool WriteFuzzFile(const uint8_t *pb, size_t cb)
{
    FILE *pf = fopen(FuzzFilePath(), "wb");
    if (pf == nullptr) {
        return false;
    }
    bool fOk = fwrite(pb, 1, cb, pf) == cb;
    return fclose(pf) == 0 && fOk;
}
