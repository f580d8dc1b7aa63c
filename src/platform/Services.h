// Services that have no single Windows call behind them: the host program path, path
// splitting, file sizes, the log file's opening, the fault guard and the folder separator.
#ifndef CELLSIFT_PLATFORM_SERVICES_H
#define CELLSIFT_PLATFORM_SERVICES_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

// Buffer sizes of the split path pieces, terminator included.
enum {
    cbDriveMax = 3,
    cbDirMax = 256,
    cbFnameMax = 256,
    cbExtMax = 256,
    cbPathMax = 260
};

// The host folder the log and the quarantine live in, with its trailing separator.
#ifdef _WIN32
#define SCANDECK_DIR "Scandeck\\"
#else
#define SCANDECK_DIR "Scandeck/"
#endif

// Copies the host program path (the first argument of the host's command line, or the
// program file's path when that is empty) into pszPath; returns 0 when there is none or it
// does not fit cbPath bytes, else its length.
int GetHostProgramPath(char *pszPath, size_t cbPath);

// Splits pszPath as the C runtime's _splitpath does: drive only when the second character
// is ':', directory up to and including the last '\' or '/', extension from the last '.'
// after it. Each out buffer may be null; sizes are cbDriveMax, cbDirMax, cbFnameMax and
// cbExtMax, and longer pieces are cut to fit.
void SplitPath(const char *pszPath, char *pszDrive, char *pszDir, char *pszFname, char *pszExt);

// The size in bytes of the file at pszPath, as the file system states it (a sparse file's
// whole length); false when it cannot be had.
bool GetPathFileSize(const char *pszPath, uint64_t *pcb);

// Opens the log file at pszPath for appending in text mode, creating it when missing; null
// when it cannot be opened. The portable build follows no symbolic link there, never waits on
// a FIFO and opens nothing but a regular file.
FILE *OpenLogForAppend(const char *pszPath);

// Tells the system that the cb bytes at pv, a block of its own, are about to be filled front
// to back, so that it may back a large block with large pages: far fewer page faults for a
// stream or a text of many megabytes. Changes nothing the block holds.
void AdviseLargeBlock(void *pv, size_t cb);

// Runs pfn(pContext) so that a processor fault inside it returns false instead of ending
// the process, where the platform can do that without touching the host's own handlers;
// true when pfn returned normally. C++ exceptions pass through unchanged.
bool RunFaultGuarded(void (*pfn)(void *), void *pContext);

#endif
