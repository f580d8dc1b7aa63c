// A host program that makes the log calls its arguments ask for. Texts come hex-coded, so
// that any byte survives every command line on the way.
//   w<hex>                    WriteLog(text)
//   n                         WriteLog(null)
//   p<hex>                    WriteLogPath(text)
//   q<hex>                    QuarantineDocument(path)
//   s<hr> <hex ctx> <hex path> LogStorageFailure(hr, ctx, path)
//   S<hr> <hex ctx>           LogStorageFailure(hr, ctx, null)
// Exit code: the number of WriteLog and WriteLogPath calls that returned 1, plus 100 when g_bError is raised.
#include <stdlib.h>
#include <string>

#include "log/ErrorFlag.h"
#include "log/Log.h"
#include "plugin/Quarantine.h"

namespace {

std::string DecodeHex(const char *psz)
{
    std::string text;
    for (; psz[0] != '\0' && psz[1] != '\0'; psz += 2) {
        char szByte[3] = {psz[0], psz[1], '\0'};
        text += (char)strtoul(szByte, nullptr, 16);
    }
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    int nWritten = 0;
    for (int i = 1; i < argc; i++) {
        const char *pszArg = argv[i];
        if (pszArg[0] == 'w') {
            nWritten += WriteLog(DecodeHex(pszArg + 1).c_str());
        } else if (pszArg[0] == 'p') {
            nWritten += WriteLogPath(DecodeHex(pszArg + 1).c_str());
        } else if (pszArg[0] == 'q') {
            QuarantineDocument(DecodeHex(pszArg + 1).c_str());
        } else if (pszArg[0] == 'n') {
            nWritten += WriteLog(nullptr);
        } else if ((pszArg[0] == 's' && i + 2 < argc) || (pszArg[0] == 'S' && i + 1 < argc)) {
            HRESULT hr = (HRESULT)strtoul(pszArg + 1, nullptr, 16);
            std::string context = DecodeHex(argv[++i]);
            if (pszArg[0] == 's') {
                std::string path = DecodeHex(argv[++i]);
                LogStorageFailure(hr, context.c_str(), path.c_str());
            } else {
                LogStorageFailure(hr, context.c_str(), nullptr);
            }
        } else {
            return 255;
        }
    }
    return nWritten + (g_bError ? 100 : 0);
}
