// The operating-system services the plug-in calls, under their Windows names.
// The Windows build takes them from the system; the portable build from portable/.
#ifndef CELLSIFT_PLATFORM_WIN32_H
#define CELLSIFT_PLATFORM_WIN32_H

#ifdef _WIN32
#include <windows.h>

#include <objbase.h>
#include <stdlib.h>
#else
#include "portable/Win32Portable.h"
#endif

#include "Services.h"

#endif
