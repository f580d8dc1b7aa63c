// Where one file's output goes while it is read: standard output, or a file below OUTDIR kept
// under a temporary name once whole, and a stream that drops the output of one not made.
#include "Batch.h"

#include "TreeFile.h"
#include "output/OutputEscape.h"

#include <stdio.h>
#include <sys/types.h>

namespace {

ssize_t DiscardWrite(void *, const char *, size_t cb)
{
    return static_cast<ssize_t>(cb);
}

// A stream that takes output and drops it: what a file that could not be made is written to,
// so that the workbook is still read and its messages still come.
FILE *OpenDiscard()
{
    cookie_io_functions_t io = {nullptr, DiscardWrite, nullptr, nullptr};
    return fopencookie(nullptr, "w", io);
}

} // namespace

BatchOutput::BatchOutput(const std::string &outDir, FILE *pfOut, FILE *pfMessages)
        : m_outDir(outDir), m_pfOut(pfOut), m_pfMessages(pfMessages)
{}

BatchOutput::~BatchOutput()
{
    if (m_pfDiscard != nullptr) {
        fclose(m_pfDiscard);
    }
}

FILE *BatchOutput::Open(const std::string &rel)
{
    if (!ToFiles()) {
        return m_pfOut;
    }
    m_rel = rel;
    m_pFile.reset(new TreeFile());
    if (m_pFile->Open(m_outDir, rel)) {
        return m_pFile->Stream();
    }
    m_error = m_pFile->Error();
    m_pFile.reset();
    if (m_pfDiscard == nullptr) {
        m_pfDiscard = OpenDiscard();
    }
    return m_pfDiscard;
}

void BatchOutput::Close()
{
    if (!ToFiles()) {
        return;
    }
    if (m_pFile) {
        StagedFile staged;
        if (m_pFile->Close(&staged)) {
            m_staged.push_back(std::move(staged));
            m_pFile.reset();
            return;
        }
        m_error = m_pFile->Error();
        m_pFile.reset();
    }
    fprintf(m_pfMessages, "cellsift: cannot write %s: %s\n", PrintableName(m_outDir + "/" + m_rel).c_str(),
            m_error.c_str());
    m_fAllWritten = false;
}
