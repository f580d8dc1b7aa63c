// Path splitting on the portable build: the project's own splitter, since the C library
// here has no _splitpath.
#include "platform/SplitPathRules.h"

void SplitPath(const char *pszPath, char *pszDrive, char *pszDir, char *pszFname, char *pszExt)
{
    SplitPathByRules(pszPath, pszDrive, pszDir, pszFname, pszExt);
}
