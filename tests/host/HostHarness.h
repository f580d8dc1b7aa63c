// The stand-in indexer: loads the library by its file name at run time, resolves the four
// exports and drives them as the indexer does, capturing what each call leaves behind.
#ifndef CELLSIFT_TESTS_HOST_HOSTHARNESS_H
#define CELLSIFT_TESTS_HOST_HOSTHARNESS_H

#include <string>
#include <vector>

typedef int (*ExtensionsFn)(char *);
typedef int (*DescriptionFn)(char *);
typedef int (*LengthFn)(const char *, int);
typedef int (*TextFn)(const char *, char *, int);

struct HostLibrary {
    ExtensionsFn pfnExtensions = nullptr;
    DescriptionFn pfnDescription = nullptr;
    LengthFn pfnLength = nullptr;
    TextFn pfnText = nullptr;
};

// Set by main: the program's first argument as given, and the library file to load.
extern std::string g_sHostArg0;
extern std::string g_sLibraryPath;

// Loads the library once; null with *psError set when it or one of its exports is missing.
const HostLibrary *LoadHostLibrary(std::string *psError);

// The host's Scandeck folder, where the library puts its log and its quarantine copies.
std::string HostScandeckDir();
std::string HostLogPath();
// A folder beside the program for documents the tests make, with its trailing separator.
std::string HostWorkDir();
// Paths under the source and shared trees as this build's programs must name them.
std::string SourcePath(const std::string &relative);
std::string SharedPath(const std::string &relative);

// What one GetTextPortionOfDocument call gave the host.
struct HostCall {
    int nLength = 0;            // GetLengthOfTextPortion's answer (when asked)
    int nResult = 0;            // GetTextPortionOfDocument's answer
    std::string text;           // buffer bytes before the first NUL
    bool fTerminated = false;   // a NUL at index nResult
    bool fTailUntouched = true; // nothing written past the NUL
    std::string stderrText;     // what went to the standard error stream during the calls
};

// As the indexer does: the length first, then the text with that length as capacity.
HostCall RunAsIndexer(const HostLibrary &lib, const std::string &path);
// The text call alone with a capacity of the caller's choice.
HostCall RunWithCapacity(const HostLibrary &lib, const std::string &path, int nCapacity);

#endif
