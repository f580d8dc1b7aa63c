// The batch: workers read the files ahead of one writer, which sends each file's output and
// messages out in the files' order, so any number of workers gives the output of one.
#include "Batch.h"

#include "OutputNames.h"
#include "TreeWalk.h"
#include "output/OutputEscape.h"

#include <errno.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace {

// What the writer sends out at one place of the order: a file, or the message of a folder the
// walk could not read, in the place its files would have had.
struct BatchItem {
    BatchFile file;
    std::string note; // the folder's message; empty for a file
};

struct FileResult {
    std::string out; // for standard output, when it waits for its turn
    std::string messages;
    std::vector<StagedFile> staged; // below OUTDIR: its files, which the writer names
    unsigned long long cbIn = 0;
    unsigned long long cbOut = 0;
    bool fRead = false;
    bool fWritten = true;
    bool fDone = false;
};

// The results between the workers and the writer. Workers stay at most a window ahead of the
// writer, so memory holds a bounded number of texts however many files there are. A file
// takes tens of microseconds and a wake-up about as long, so each side, when it must wait,
// waits for half a window of work: the writer for a later result, the workers for room. The
// items grow while the walk lists them (a deque never moves what it holds, so a worker reads
// its item outside the lock); the workers take them as they come.
struct Batch {
    const BatchJob *pJob;
    const BatchSettings *pSettings;
    std::mutex mutex;
    std::condition_variable cvWorkers;
    std::condition_variable cvWriter;
    std::deque<BatchItem> items;
    std::deque<FileResult> results;
    bool fListed = false; // no item is to come
    size_t cFilesListed = 0;
    size_t iNext = 0;    // the next item a worker takes
    size_t iWritten = 0; // items the writer is done with
    size_t cWindow = 0;
    bool fCountBytes = false;
    size_t cWorkersWaiting = 0;
    size_t iWriterWaitsFor = SIZE_MAX;
};

// Reads the item's file with its messages caught in memory, and its output too unless it goes
// to pfOut (standard output, its header already there) or to files.
void ReadOne(const Batch &batch, const BatchItem &item, FILE *pfOut, FileResult *pResult)
{
    if (!item.note.empty()) {
        pResult->messages = item.note;
        pResult->fRead = true; // no file failed: the walk's result says a folder did
        return;
    }
    const BatchFile &file = item.file;
    bool fToFiles = !batch.pSettings->outDir.empty();
    char *pchOut = nullptr, *pchMessages = nullptr;
    size_t cchOut = 0, cchMessages = 0;
    FILE *pfBuffer = pfOut == nullptr && !fToFiles ? open_memstream(&pchOut, &cchOut) : nullptr;
    FILE *pfMessages = open_memstream(&pchMessages, &cchMessages);
    if (pfMessages == nullptr || (pfOut == nullptr && !fToFiles && pfBuffer == nullptr)) {
        pResult->messages = "cellsift: " + PrintableName(file.path) + ": " + strerror(errno) + "\n";
    } else {
        BatchOutput out(batch.pSettings->outDir, pfOut != nullptr ? pfOut : pfBuffer, pfMessages);
        pResult->fRead = batch.pJob->Read(file, out, batch.fCountBytes ? &pResult->cbIn : nullptr);
        pResult->staged = std::move(out.Staged());
        pResult->fWritten = out.AllWritten();
    }
    if (pfBuffer != nullptr) {
        fclose(pfBuffer);
        pResult->out.assign(pchOut, cchOut);
        pResult->cbOut = cchOut;
    }
    if (pfMessages != nullptr) {
        fclose(pfMessages);
        pResult->messages.append(pchMessages, cchMessages);
    }
    free(pchOut);
    free(pchMessages);
}

// Takes the next item when one is listed and the window has room, reads it outside the lock
// and stores its result. False when there is none to take now.
bool ReadNextFile(Batch *pBatch, std::unique_lock<std::mutex> &lock)
{
    if (pBatch->iNext >= pBatch->items.size() || pBatch->iNext >= pBatch->iWritten + pBatch->cWindow) {
        return false;
    }
    size_t i = pBatch->iNext++;
    const BatchItem &item = pBatch->items[i];
    lock.unlock();
    FileResult result;
    ReadOne(*pBatch, item, nullptr, &result);
    result.fDone = true;
    lock.lock();
    pBatch->results[i] = std::move(result);
    if (pBatch->iWriterWaitsFor == i) {
        pBatch->cvWriter.notify_one();
    }
    return true;
}

void Work(Batch *pBatch)
{
    std::unique_lock<std::mutex> lock(pBatch->mutex);
    while (!pBatch->fListed || pBatch->iNext < pBatch->items.size()) {
        if (!ReadNextFile(pBatch, lock)) {
            ++pBatch->cWorkersWaiting;
            pBatch->cvWorkers.wait(lock);
            --pBatch->cWorkersWaiting;
        }
    }
}

// Adds an item as the walk finds it, or marks the list whole (item null).
void List(Batch *pBatch, BatchItem *pItem)
{
    std::lock_guard<std::mutex> lock(pBatch->mutex);
    if (pItem != nullptr) {
        pBatch->cFilesListed += pItem->note.empty() ? 1 : 0;
        pBatch->items.push_back(std::move(*pItem));
        pBatch->results.emplace_back();
    } else {
        pBatch->fListed = true;
    }
    // Workers that wait for room, not for an item, are left to MarkWritten: waking them for
    // each item listed would cost a system call per file and find them no work.
    bool fTakeable =
        pBatch->iNext + 1 == pBatch->items.size() && pBatch->iNext < pBatch->iWritten + pBatch->cWindow;
    if (pBatch->cWorkersWaiting > 0 && (pItem == nullptr || fTakeable)) {
        pBatch->cvWorkers.notify_all();
    }
}

// The result of item i once it is there; the writer reads items itself meanwhile. With
// fWait false, only a result that is there already (false when it is not).
bool TakeResult(Batch *pBatch, size_t i, bool fWait, FileResult *pResult)
{
    std::unique_lock<std::mutex> lock(pBatch->mutex);
    while (!pBatch->results[i].fDone) {
        if (!fWait) {
            return false;
        }
        if (ReadNextFile(pBatch, lock)) {
            continue;
        }
        size_t iTarget = std::min(i + pBatch->cWindow / 2, pBatch->results.size() - 1);
        pBatch->iWriterWaitsFor = pBatch->results[iTarget].fDone ? i : iTarget;
        pBatch->cvWriter.wait(lock);
    }
    pBatch->iWriterWaitsFor = SIZE_MAX;
    *pResult = std::move(pBatch->results[i]);
    return true;
}

void MarkWritten(Batch *pBatch, size_t cWritten)
{
    std::lock_guard<std::mutex> lock(pBatch->mutex);
    pBatch->iWritten = cWritten;
    if (pBatch->cWorkersWaiting > 0 && pBatch->iWritten + pBatch->cWindow / 2 >= pBatch->iNext) {
        pBatch->cvWorkers.notify_all();
    }
}

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
    BatchWriter(Batch *pBatch, const BatchSettings &settings)
            : m_pBatch(pBatch), m_settings(settings), m_fToFiles(!settings.outDir.empty()),
              m_progress(settings.fTree && isatty(2) != 0 && !settings.fQuiet)
    {
        // Without a summary to count its bytes, one worker's output goes straight to standard
        // output: a large workbook's text is never held in memory.
        m_fDirect = !m_fToFiles && !settings.fTree && settings.nWorkers <= 1;
        m_fSummary = settings.fTree && (!settings.fQuiet || m_fToFiles);
        pBatch->fCountBytes = m_fSummary || m_progress.FShown();
    }

    // Writes the items whose results are there, in order; with fWait, every item listed.
    void WriteListed(size_t cListed, bool fWait)
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
            if (m_fToFiles && !m_names.Place(m_settings.outDir, item.file.path, result.staged,
                                             &result.messages, &result.cbOut)) {
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

    // After the last item: the summary, and the exit status.
    int Finish(bool fAllListed)
    {
        m_progress.Clear();
        // Beside the texts on standard output the summary would be taken for one of them.
        if (m_fSummary) {
            fprintf(m_fToFiles ? stdout : stderr,
                    "%zu files, %llu bytes in, %llu bytes out, %zu %s, %.2f s\n", m_cFiles, m_cbIn, m_cbOut,
                    m_nFailed, m_settings.pszNotRead, m_progress.Seconds());
        }
        return m_nFailed == 0 && m_fAllWritten && fAllListed ? 0 : 1;
    }

private:
    void WriteHeader(const BatchFile &file)
    {
        printf("%s==> %s <==\n", m_fHeaderWritten ? "\n" : "", PrintableName(file.path).c_str());
        m_fHeaderWritten = true;
    }

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

// Runs the batch over the items list() adds: workers start at once and take each item as it
// comes, while this thread lists them and writes what is done meanwhile; then it writes the
// rest, reading items itself while the one it is to write next is not there, so N workers
// are N threads and one worker needs no hand-over. list() returns false when something could
// not be listed.
int Run(const BatchJob &job, const BatchSettings &settings,
        const std::function<bool(Batch *, BatchWriter *)> &list)
{
    if (!settings.outDir.empty() && !MakeDirectories(settings.outDir)) {
        fprintf(stderr, "cellsift: cannot create output folder %s: %s\n",
                PrintableName(settings.outDir).c_str(), strerror(errno));
        return 1;
    }
    Batch batch;
    batch.pJob = &job;
    batch.pSettings = &settings;
    unsigned nWorkers = settings.nWorkers > 0 ? settings.nWorkers : 1;
    batch.cWindow = 16 * static_cast<size_t>(nWorkers);
#ifdef __GLIBC__
    // Workers take and free buffers of the same sizes file after file. Handed back to the
    // system each time, their pages are faulted in afresh for the next file, which costs more
    // than reading a small workbook, and with several threads every core running the process
    // is interrupted to forget them; kept, they are reused.
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
#endif
    BatchWriter writer(&batch, settings);
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < nWorkers; ++i) {
        workers.emplace_back(Work, &batch);
    }
    bool fAllListed = list(&batch, &writer);
    List(&batch, nullptr);
    writer.WriteListed(batch.items.size(), true);
    MarkWritten(&batch, batch.items.size());
    for (std::thread &worker : workers) {
        worker.join();
    }
    return writer.Finish(fAllListed);
}

} // namespace

int RunBatch(const BatchJob &job, const std::vector<BatchFile> &files, const BatchSettings &settings)
{
    return Run(job, settings, [&files](Batch *pBatch, BatchWriter *) {
        for (const BatchFile &file : files) {
            BatchItem item{file, std::string()};
            List(pBatch, &item);
        }
        return true;
    });
}

int RunTree(const BatchJob &job, const std::string &dir, const BatchSettings &settings)
{
    struct stat st;
    int nErr = stat(dir.c_str(), &st) != 0 ? errno : S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (nErr != 0) {
        fprintf(stderr, "cellsift: %s: %s\n", PrintableName(dir).c_str(), strerror(nErr));
        return 1;
    }
    std::string root = dir;
    while (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    // Only this thread adds items, so it may count them without the lock.
    return Run(job, settings, [&root](Batch *pBatch, BatchWriter *pWriter) {
        auto add = [pBatch, pWriter](BatchItem &&item) {
            List(pBatch, &item);
            pWriter->WriteListed(pBatch->items.size(), false);
        };
        WalkSink sink;
        sink.onWorkbook = [&root, &add](std::string &&rel) {
            add(BatchItem{BatchFile{root + "/" + rel, std::move(rel)}, std::string()});
        };
        sink.onUnreadable = [&add](std::string &&message) {
            add(BatchItem{BatchFile(), std::move(message)});
        };
        return WalkWorkbooks(root, sink);
    });
}
