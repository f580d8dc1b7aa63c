// Path splitting on Windows: the C runtime's _splitpath where no piece can be too long,
// the project's own splitter with the same rules otherwise.
#include <string.h>

#include "platform/SplitPathRules.h"

void SplitPath(const char *pszPath, char *pszDrive, char *pszDir, char *pszFname, char *pszExt)
{
    // Runtimes differ on over-long pieces: the old one cuts them to 255 bytes, newer ones
    // (and Wine's) route through _splitpath_s and empty every piece. A path shorter than
    // the smallest buffer cannot give a piece that is too long, so only then is the
    // runtime trusted; the drive never exceeds its 3 bytes.
    if (strlen(pszPath) < cbDirMax) {
        _splitpath(pszPath, pszDrive, pszDir, pszFname, pszExt);
    } else {
        SplitPathByRules(pszPath, pszDrive, pszDir, pszFname, pszExt);
    }
}
