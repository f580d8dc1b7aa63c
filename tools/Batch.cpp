// The batch: workers read the files ahead of one writer, which sends each file's output and
// messages out in the files' order, so any number of workers gives the output of one.
#include "Batch.h"

#include "TreeFile.h"
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
#include <mutex>
#include <thread>

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
    if (m_pfDiscard != nullptr)
        fclose(m_pfDiscard);
}

FILE *BatchOutput::Open(const std::string &rel)
{
    if (!ToFiles())
        return m_pfOut;
    m_rel = rel;
    m_pFile.reset(new TreeFile());
    if (m_pFile->Open(m_outDir, rel))
        return m_pFile->Stream();
    m_error = m_pFile->Error();
    m_pFile.reset();
    if (m_pfDiscard == nullptr)
        m_pfDiscard = OpenDiscard();
    return m_pfDiscard;
}

void BatchOutput::Close()
{
    if (!ToFiles())
        return;
    if (m_pFile) {
        long cbFile = ftell(m_pFile->Stream());
        if (m_pFile->Commit()) {
            m_cbToFiles += cbFile > 0 ? static_cast<unsigned long long>(cbFile) : 0;
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

namespace {

struct FileResult {
    std::string out; // for standard output, when it waits for its turn
    std::string messages;
    unsigned long long cbIn = 0;
    unsigned long long cbOut = 0;
    bool fRead = false;
    bool fWritten = true;
    bool fDone = false;
};

// The results between the workers and the writer. Workers stay at most a window ahead of the
// writer, so memory holds a bounded number of texts however many files there are. A file
// takes tens of microseconds and a wake-up about as long, so each side, when it must wait,
// waits for half a window of work: the writer for a later result, the workers for room.
struct Batch {
    const BatchJob *pJob;
    const std::vector<BatchFile> *pFiles;
    const BatchSettings *pSettings;
    std::mutex mutex;
    std::condition_variable cvWorkers;
    std::condition_variable cvWriter;
    std::vector<FileResult> results;
    size_t iNext = 0;    // the next file a worker takes
    size_t iWritten = 0; // files the writer is done with
    size_t cWindow = 0;
    bool fCountBytes = false;
    size_t cWorkersWaiting = 0;
    size_t iWriterWaitsFor = SIZE_MAX;
};

// Reads file i with its messages caught in memory, and its output too unless it goes to
// pfOut (standard output, its header already there) or to files.
void ReadOne(const Batch &batch, size_t i, FILE *pfOut, FileResult *pResult)
{
    const BatchFile &file = (*batch.pFiles)[i];
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
        pResult->cbOut = out.BytesToFiles();
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

// Takes the next file when the window has room, reads it outside the lock and stores its
// result. False when there is none to take now.
bool ReadNextFile(Batch *pBatch, std::unique_lock<std::mutex> &lock)
{
    if (pBatch->iNext >= pBatch->results.size() || pBatch->iNext >= pBatch->iWritten + pBatch->cWindow) {
        return false;
    }
    size_t i = pBatch->iNext++;
    lock.unlock();
    FileResult result;
    ReadOne(*pBatch, i, nullptr, &result);
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
    while (pBatch->iNext < pBatch->results.size()) {
        if (!ReadNextFile(pBatch, lock)) {
            ++pBatch->cWorkersWaiting;
            pBatch->cvWorkers.wait(lock);
            --pBatch->cWorkersWaiting;
        }
    }
}

// The result of file i once it is there; the writer reads files itself meanwhile.
FileResult TakeResult(Batch *pBatch, size_t i)
{
    std::unique_lock<std::mutex> lock(pBatch->mutex);
    while (!pBatch->results[i].fDone) {
        if (ReadNextFile(pBatch, lock)) {
            continue;
        }
        size_t iTarget = std::min(i + pBatch->cWindow / 2, pBatch->results.size() - 1);
        pBatch->iWriterWaitsFor = pBatch->results[iTarget].fDone ? i : iTarget;
        pBatch->cvWriter.wait(lock);
    }
    pBatch->iWriterWaitsFor = SIZE_MAX;
    return std::move(pBatch->results[i]);
}

void MarkWritten(Batch *pBatch, size_t cWritten)
{
    std::lock_guard<std::mutex> lock(pBatch->mutex);
    pBatch->iWritten = cWritten;
    if (pBatch->cWorkersWaiting > 0 && pBatch->iWritten + pBatch->cWindow / 2 >= pBatch->iNext) {
        pBatch->cvWorkers.notify_all();
    }
}

void WriteHeader(const BatchFile &file, size_t i)
{
    printf("%s==> %s <==\n", i > 0 ? "\n" : "", PrintableName(file.path).c_str());
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

} // namespace

int RunBatch(const BatchJob &job, const std::vector<BatchFile> &files, const BatchSettings &settings)
{
    bool fToFiles = !settings.outDir.empty();
    if (fToFiles && !MakeDirectories(settings.outDir)) {
        fprintf(stderr, "cellsift: cannot create output folder %s: %s\n",
                PrintableName(settings.outDir).c_str(), strerror(errno));
        return 1;
    }
    Batch batch;
    batch.pJob = &job;
    batch.pFiles = &files;
    batch.pSettings = &settings;
    batch.results.resize(files.size());
    unsigned nWorkers = settings.nWorkers > 0 ? settings.nWorkers : 1;
    batch.cWindow = 16 * static_cast<size_t>(nWorkers);
    // Without a summary to count its bytes, one worker's output goes straight to standard
    // output: a large workbook's text is never held in memory.
    bool fDirect = !fToFiles && !settings.fTree && nWorkers == 1;
    // The writer is one of the workers: it reads files itself while the result it is to write
    // next is not there, so N workers are N threads and one worker needs no hand-over.
#ifdef __GLIBC__
    // Workers take and free buffers of the same sizes file after file. Handed back to the
    // system each time, their pages are faulted in afresh for the next file, which costs more
    // than reading a small workbook, and with several threads every core running the process
    // is interrupted to forget them; kept, they are reused.
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
#endif
    Progress progress(settings.fTree && isatty(2) != 0 && !settings.fQuiet);
    bool fSummary = settings.fTree && (!settings.fQuiet || fToFiles);
    batch.fCountBytes = fSummary || progress.FShown();
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < nWorkers; ++i) {
        workers.emplace_back(Work, &batch);
    }
    unsigned long long cbIn = 0, cbOut = 0;
    size_t nFailed = 0;
    bool fAllWritten = true;
    for (size_t i = 0; i < files.size(); ++i) {
        bool fHeader = settings.fHeaders && !fToFiles;
        FileResult result;
        if (fDirect) {
            if (fHeader) {
                WriteHeader(files[i], i);
            }
            // Flushed so that what the file's reading writes on standard error follows its header.
            fflush(stdout);
            ReadOne(batch, i, stdout, &result);
        } else {
            result = TakeResult(&batch, i);
            if (fHeader) {
                WriteHeader(files[i], i);
            }
            fwrite(result.out.data(), 1, result.out.size(), stdout);
        }
        if (!result.messages.empty()) {
            progress.Clear();
            // After the text they belong to.
            fflush(stdout);
            fputs(result.messages.c_str(), stderr);
        }
        cbIn += result.cbIn;
        cbOut += result.cbOut;
        nFailed += result.fRead ? 0 : 1;
        fAllWritten = fAllWritten && result.fWritten;
        MarkWritten(&batch, i + 1);
        progress.Show(i + 1, files.size(), cbIn);
    }
    MarkWritten(&batch, files.size());
    for (std::thread &worker : workers) {
        worker.join();
    }
    progress.Clear();
    // Beside the texts on standard output the summary would be taken for one of them.
    if (fSummary) {
        fprintf(fToFiles ? stdout : stderr, "%zu files, %llu bytes in, %llu bytes out, %zu %s, %.2f s\n",
                files.size(), cbIn, cbOut, nFailed, settings.pszNotRead, progress.Seconds());
    }
    return nFailed == 0 && fAllWritten ? 0 : 1;
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
    std::vector<std::string> rels;
    bool fAllListed = ListWorkbooks(root, &rels);
    std::vector<BatchFile> files;
    files.reserve(rels.size());
    for (std::string &rel : rels) {
        files.push_back({root + "/" + rel, std::move(rel)});
    }
    int nStatus = RunBatch(job, files, settings);
    return fAllListed ? nStatus : 1;
}
