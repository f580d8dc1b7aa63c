// The stand-in indexer's loading and driving of the library; main keeps argv[0] because the
// library finds its Scandeck folder from the same first argument.
#include "host/HostHarness.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/stat.h>
#endif

#include "support/Scandeck.h"

std::string g_sHostArg0;
std::string g_sLibraryPath;

namespace {

// Bytes the library must never write: everything past the terminating NUL.
const char chSentinel = '\x5A';

std::string BuildTreePath(const std::string &path)
{
#ifdef _WIN32
    // Under Wine the Unix file system is reached through drive Z:.
    if (!path.empty() && path[0] == '/') {
        return "Z:" + path;
    }
#endif
    return path;
}

template <typename Fn>
bool Resolve(void *hModule, const char *pszName, Fn *ppfn, std::string *psError)
{
#ifdef _WIN32
    *ppfn = reinterpret_cast<Fn>(
        reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(hModule), pszName)));
#else
    *ppfn = reinterpret_cast<Fn>(dlsym(hModule, pszName));
#endif
    if (*ppfn == nullptr) {
        *psError += std::string("export not found: ") + pszName + "\n";
    }
    return *ppfn != nullptr;
}

HostCall Drive(const HostLibrary &lib, const std::string &path, bool fAskLength, int nCapacity)
{
    HostCall call;
    testing::internal::CaptureStderr();
    if (fAskLength) {
        call.nLength = lib.pfnLength(path.c_str(), 0);
        nCapacity = call.nLength;
    }
    // Room for the NUL and a margin that must stay as it was.
    std::vector<char> buffer(static_cast<size_t>(nCapacity) + 1 + 16, chSentinel);
    call.nResult = lib.pfnText(path.c_str(), buffer.data(), nCapacity);
    fflush(stderr);
    call.stderrText = testing::internal::GetCapturedStderr();
    if (call.nResult >= 0 && call.nResult <= nCapacity) {
        call.text.assign(buffer.data(), strnlen(buffer.data(), static_cast<size_t>(call.nResult) + 1));
        call.fTerminated = buffer[static_cast<size_t>(call.nResult)] == '\0';
        for (size_t i = static_cast<size_t>(call.nResult) + 1; i < buffer.size(); i++) {
            if (buffer[i] != chSentinel) {
                call.fTailUntouched = false;
            }
        }
    }
    return call;
}

} // namespace

const HostLibrary *LoadHostLibrary(std::string *psError)
{
    static HostLibrary lib;
    static bool fLoaded = false;
    static std::string sLoadError;
    if (!fLoaded) {
        fLoaded = true;
#ifdef _WIN32
        void *hModule = LoadLibraryA(g_sLibraryPath.c_str());
#else
        void *hModule = dlopen(g_sLibraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
        if (hModule == nullptr) {
            sLoadError = "cannot load " + g_sLibraryPath;
        } else {
            Resolve(hModule, "GetProcessableExtensionsString", &lib.pfnExtensions, &sLoadError);
            Resolve(hModule, "GetDescription", &lib.pfnDescription, &sLoadError);
            Resolve(hModule, "GetLengthOfTextPortion", &lib.pfnLength, &sLoadError);
            Resolve(hModule, "GetTextPortionOfDocument", &lib.pfnText, &sLoadError);
        }
    }
    *psError = sLoadError;
    return sLoadError.empty() ? &lib : nullptr;
}

std::string HostScandeckDir()
{
    return ScandeckDirFor(g_sHostArg0);
}

std::string HostLogPath()
{
    return HostScandeckDir() + "Scandeck.log";
}

std::string HostWorkDir()
{
    std::string dir = DirectoryOf(g_sHostArg0) + "host-docs" + szTestSep;
#ifdef _WIN32
    _mkdir(dir.c_str());
#else
    mkdir(dir.c_str(), 0700);
#endif
    return dir;
}

std::string SourcePath(const std::string &relative)
{
    return BuildTreePath(CELLSIFT_SOURCE_DIR "/" + relative);
}

std::string SharedPath(const std::string &relative)
{
    return BuildTreePath(CELLSIFT_SHARED_DIR "/" + relative);
}

HostCall RunAsIndexer(const HostLibrary &lib, const std::string &path)
{
    return Drive(lib, path, true, 0);
}

HostCall RunWithCapacity(const HostLibrary &lib, const std::string &path, int nCapacity)
{
    return Drive(lib, path, false, nCapacity);
}

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    g_sHostArg0 = argc > 0 ? argv[0] : "";
    g_sLibraryPath = BuildTreePath(CELLSIFT_LIBRARY);
#ifdef _WIN32
    // The build copies the DLL beside the program, where an indexer keeps its plug-ins.
    g_sLibraryPath = DirectoryOf(g_sHostArg0) + "cellsift.dll";
#endif
    for (int i = 1; i < argc; i++) {
        if (strncmp(argv[i], "--library=", 10) == 0) {
            g_sLibraryPath = argv[i] + 10;
        }
    }
    return RUN_ALL_TESTS();
}
