// The batch's writer: each item's output and messages sent out in the order of the files,
// the progress line of -r, the summary it counts, and the run's exit status.
#ifndef CELLSIFT_TOOLS_BATCHWRITER_H
#define CELLSIFT_TOOLS_BATCHWRITER_H

#include <stdio.h>
#include <time.h>

#include "BatchQueue.h"
#include "OutputNames.h"

// The progress line on standard error, drawn at most ten times a second and cleared before
// any message, which it would otherwise run into.
class Progress {
public:
    explicit Progress(bool fShown) : m_fShown(fShown) { clock_gettime(CLOCK_MONOTONIC, &m_start); }
    bool FShown() const { return m_fShown; }
    double Seconds() const
    {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<double>(now.tv_sec - m_start.tv_sec) +
               static_cast<double>(now.tv_nsec - m_start.tv_nsec) / 1e9;
    }
    void Show(size_t nDone, size_t nTotal, unsigned long long cbIn)
    {
        double sNow = Seconds();
        if (m_fShown && (m_sLastDrawn < 0 || sNow - m_sLastDrawn >= 0.1 || nDone == nTotal)) {
            fprintf(stderr, "\r%zu/%zu files, %llu bytes, %.1f s ", nDone, nTotal, cbIn, sNow);
            fflush(stderr);
            m_sLastDrawn = sNow;
        }
    }
    void Clear()
    {
        if (m_fShown && m_sLastDrawn >= 0) {
            fputs("\r\033[K", stderr);
            fflush(stderr);
        }
        m_sLastDrawn = -1.0;
    }

private:
    bool m_fShown;
    struct timespec m_start;
    double m_sLastDrawn = -1.0;
};

// The writer's side: each item's output and messages in order, and what the summary counts.
class BatchWriter {
public:
    BatchWriter(Batch *pBatch, const BatchSettings &settings);

    // Writes the items whose results are there, in order; with fWait, every item listed.
    void WriteListed(size_t cListed, bool fWait);
    // After the last item: the summary, and the exit status.
    int Finish(bool fAllListed);

private:
    void WriteHeader(const BatchFile &file);

    Batch *m_pBatch;
    const BatchSettings &m_settings;
    bool m_fToFiles;
    Progress m_progress;
    OutputNames m_names;
    bool m_fDirect;
    bool m_fSummary;
    bool m_fHeaderWritten = false;
    size_t m_cWritten = 0;
    size_t m_cFiles = 0;
    unsigned long long m_cbIn = 0, m_cbOut = 0;
    size_t m_nFailed = 0;
    bool m_fAllWritten = true;
};

#endif
