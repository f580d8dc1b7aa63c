// Opening the diagnostic log for appending on Windows: the C runtime's text mode, which turns
// each line feed into CR LF, shared with every other reader and writer.
#include "platform/Services.h"

FILE *OpenLogForAppend(const char *pszPath)
{
    return fopen(pszPath, "at");
}
