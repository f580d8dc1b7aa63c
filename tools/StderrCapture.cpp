// Standard error caught around the plug-in's calls: descriptor 2 pointed at a temporary
// file that lives as long as the process, then put back and the file read.
#include "StderrCapture.h"

#include <stdio.h>
#include <unistd.h>

namespace {

int g_fdTemp = -2; // -2: not made yet; -1: could not be made

int TemporaryFile()
{
    if (g_fdTemp == -2) {
        FILE *pf = tmpfile();
        g_fdTemp = pf != nullptr ? dup(fileno(pf)) : -1;
        if (pf != nullptr) {
            fclose(pf);
        }
    }
    return g_fdTemp;
}

} // namespace

bool StderrCapture::Begin()
{
    int fdTemp = TemporaryFile();
    if (fdTemp < 0 || m_fdSaved >= 0) {
        return false;
    }
    if (ftruncate(fdTemp, 0) != 0 || lseek(fdTemp, 0, SEEK_SET) != 0) {
        return false;
    }
    fflush(stderr);
    m_fdSaved = dup(2);
    if (m_fdSaved < 0) {
        return false;
    }
    if (dup2(fdTemp, 2) < 0) {
        close(m_fdSaved);
        m_fdSaved = -1;
        return false;
    }
    return true;
}

std::string StderrCapture::End()
{
    std::string diag;
    if (m_fdSaved < 0) {
        return diag;
    }
    fflush(stderr);
    dup2(m_fdSaved, 2);
    close(m_fdSaved);
    m_fdSaved = -1;
    off_t cb = lseek(g_fdTemp, 0, SEEK_CUR);
    if (cb > 0 && lseek(g_fdTemp, 0, SEEK_SET) == 0) {
        diag.resize(static_cast<size_t>(cb));
        ssize_t cbRead = read(g_fdTemp, &diag[0], diag.size());
        diag.resize(cbRead > 0 ? static_cast<size_t>(cbRead) : 0);
    }
    return diag;
}
