// Windows-1251, the ANSI code page of the portable build, beyond the two Windows calls:
// the exact byte-for-unit inverse that file names need.
#ifndef CELLSIFT_PLATFORM_PORTABLE_CODEPAGE_H
#define CELLSIFT_PLATFORM_PORTABLE_CODEPAGE_H

#include "platform/portable/Win32Portable.h"

// Turns a name that MultiByteToWideChar(CP_ACP) made from a path back into the path's
// bytes, including the one slot (0x98) that text conversion refuses. Writes at most cbOut
// bytes with the terminator; returns false when a unit has no byte or the path does not fit.
bool WidePathToBytes(LPCWSTR pwszName, char *pszOut, size_t cbOut);

#endif
