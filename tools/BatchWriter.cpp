// The batch's writer: the items' outputs on standard output or put in place below OUTDIR, then
// their messages, in the files' order; the progress line drawn and cleared around them.
#include "BatchWriter.h"

#include "output/OutputEscape.h"

#include <unistd.h>

BatchWriter::BatchWriter(Batch *pBatch, const BatchSettings &settings)
        : m_pBatch(pBatch), m_settings(settings), m_fToFiles(!settings.outDir.empty()),
          m_progress(settings.fTree && isatty(2) != 0 && !settings.fQuiet)
{
    // Without a summary to count its bytes, one worker's output goes straight to standard
    // output: a large workbook's text is never held in memory.
    m_fDirect = !m_fToFiles && !settings.fTree && settings.nWorkers <= 1;
    m_fSummary = settings.fTree && (!settings.fQuiet || m_fToFiles);
    pBatch->fCountBytes = m_fSummary || m_progress.FShown();
}

void BatchWriter::WriteListed(size_t cListed, bool fWait)
{
    for (; m_cWritten < cListed; ++m_cWritten) {
        const BatchItem &item = m_pBatch->items[m_cWritten];
        bool fHeader = m_settings.fHeaders && !m_fToFiles && item.note.empty();
        FileResult result;
        if (m_fDirect) {
            if (fHeader) {
                WriteHeader(item.file);
            }
            // Flushed so that what the file's reading writes on standard error follows its header.
            fflush(stdout);
            ReadOne(*m_pBatch, item, stdout, &result);
        } else {
            if (!TakeResult(m_pBatch, m_cWritten, fWait, &result)) {
                return;
            }
            if (fHeader) {
                WriteHeader(item.file);
            }
            fwrite(result.out.data(), 1, result.out.size(), stdout);
        }
        // Here, in the order of the files, an output whose name an earlier one took is numbered.
        if (m_fToFiles && !m_names.Place(m_settings.outDir, item.file.path, result.staged, &result.messages,
                                         &result.cbOut)) {
            result.fWritten = false;
        }
        if (!result.messages.empty()) {
            m_progress.Clear();
            // After the text they belong to.
            fflush(stdout);
            fputs(result.messages.c_str(), stderr);
        }
        m_cFiles += item.note.empty() ? 1 : 0;
        m_cbIn += result.cbIn;
        m_cbOut += result.cbOut;
        m_nFailed += result.fRead ? 0 : 1;
        m_fAllWritten = m_fAllWritten && result.fWritten;
        MarkWritten(m_pBatch, m_cWritten + 1);
        // The total grows while the walk goes on; only the listing thread adds to it.
        m_progress.Show(m_cFiles, m_pBatch->cFilesListed, m_cbIn);
    }
}

int BatchWriter::Finish(bool fAllListed)
{
    m_progress.Clear();
    // Beside the texts on standard output the summary would be taken for one of them.
    if (m_fSummary) {
        fprintf(m_fToFiles ? stdout : stderr, "%zu files, %llu bytes in, %llu bytes out, %zu %s, %.2f s\n",
                m_cFiles, m_cbIn, m_cbOut, m_nFailed, m_settings.pszNotRead, m_progress.Seconds());
    }
    return m_nFailed == 0 && m_fAllWritten && fAllListed ? 0 : 1;
}

void BatchWriter::WriteHeader(const BatchFile &file)
{
    printf("%s==> %s <==\n", m_fHeaderWritten ? "\n" : "", PrintableName(file.path).c_str());
    m_fHeaderWritten = true;
}
