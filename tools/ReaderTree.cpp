// Directory mode of the workbook reader: workers read the files into memory, the main thread
// writes each result in the sorted order, so any number of workers gives the same output.
#include "ReaderTree.h"

#include "Tree.h"
#include "TreeFile.h"
#include "WorkbookOutput.h"
#include "output/OutputEscape.h"

#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct FileResult {
    std::string out;
    std::string err;
    unsigned long long cbOut = 0;
    bool fRead = false;
    bool fWritten = true;
    bool fDone = false;
    unsigned long long cbIn = 0;
};

// The results between the workers and the writer. Workers stay at most a window ahead of the
// writer, so memory holds a bounded number of texts however many files there are. A file
// takes tens of microseconds and a wake-up about as long, so each side, when it must wait,
// waits for half a window of work: the writer for a later result, the workers for room.
struct Batch {
    std::mutex mutex;
    std::condition_variable cvWorkers;
    std::condition_variable cvWriter;
    std::vector<FileResult> results;
    size_t iNext = 0;    // the next file a worker takes
    size_t iWritten = 0; // files the writer is done with
    size_t cWindow = 0;
    size_t cWorkersWaiting = 0;
    size_t iWriterWaitsFor = SIZE_MAX;
};

const char *Extension(OutputFormat format)
{
    return format == OutputFormat::Csv     ? ".csv"
           : format == OutputFormat::Jsonl ? ".jsonl"
           : format == OutputFormat::Html  ? ".html"
                                           : ".txt";
}

// False with *pError set when the text could not be put at root/rel.
bool WriteFile(const std::string &root, const std::string &rel, const std::string &data, std::string *pError)
{
    TreeFile file;
    if (!file.Open(root, rel)) {
        *pError = file.Error();
        return false;
    }
    fwrite(data.data(), 1, data.size(), file.Stream());
    if (!file.Commit()) {
        *pError = file.Error();
        return false;
    }
    return true;
}

// The result of one file, both streams caught in memory; with -o the text is written to its
// file here, by the worker, and only the messages wait for their turn.
void ReadOne(const ReaderTreeOptions &opt, const std::string &root, const std::string &rel, FileResult *pResult)
{
    std::string path = root + "/" + rel;
    char *pchOut = nullptr, *pchErr = nullptr;
    size_t cchOut = 0, cchErr = 0;
    FILE *pfOut = open_memstream(&pchOut, &cchOut);
    FILE *pfErr = open_memstream(&pchErr, &cchErr);
    if (pfOut == nullptr || pfErr == nullptr) {
        pResult->err = "cellsift: " + PrintableName(path) + ": " + strerror(errno) + "\n";
    } else {
        pResult->fRead = PrintWorkbook(path, opt.format, opt.selection, pfOut, pfErr);
    }
    if (pfOut != nullptr) {
        fclose(pfOut);
        pResult->out.assign(pchOut, cchOut);
    }
    if (pfErr != nullptr) {
        fclose(pfErr);
        pResult->err += std::string(pchErr, cchErr);
    }
    free(pchOut);
    free(pchErr);
    struct stat st;
    pResult->cbIn = stat(path.c_str(), &st) == 0 ? static_cast<unsigned long long>(st.st_size) : 0;
    pResult->cbOut = pResult->out.size();
    if (!opt.treeOut.empty()) {
        std::string error;
        if (!WriteFile(opt.treeOut, rel + Extension(opt.format), pResult->out, &error)) {
            pResult->err += "cellsift: cannot write " +
                            PrintableName(opt.treeOut + "/" + rel + Extension(opt.format)) + ": " + error +
                            "\n";
            pResult->fWritten = false;
        }
        pResult->out.clear();
    }
}

// Takes the next file when the window has room, reads it outside the lock and stores its
// result. False when there is none to take now.
bool ReadNextFile(const ReaderTreeOptions &opt, const std::string &root, const std::vector<std::string> &files,
                  Batch *pBatch, std::unique_lock<std::mutex> &lock)
{
    if (pBatch->iNext >= files.size() || pBatch->iNext >= pBatch->iWritten + pBatch->cWindow) {
        return false;
    }
    size_t i = pBatch->iNext++;
    lock.unlock();
    FileResult result;
    ReadOne(opt, root, files[i], &result);
    result.fDone = true;
    lock.lock();
    pBatch->results[i] = std::move(result);
    if (pBatch->iWriterWaitsFor == i) {
        pBatch->cvWriter.notify_one();
    }
    return true;
}

void Work(const ReaderTreeOptions &opt, const std::string &root, const std::vector<std::string> &files,
          Batch *pBatch)
{
    std::unique_lock<std::mutex> lock(pBatch->mutex);
    while (pBatch->iNext < files.size()) {
        if (!ReadNextFile(opt, root, files, pBatch, lock)) {
            ++pBatch->cWorkersWaiting;
            pBatch->cvWorkers.wait(lock);
            --pBatch->cWorkersWaiting;
        }
    }
}

} // namespace

int RunReaderTree(const ReaderTreeOptions &opt)
{
    struct stat st;
    if (stat(opt.treeIn.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        int nErr = S_ISDIR(st.st_mode) || errno != 0 ? errno : ENOTDIR;
        fprintf(stderr, "cellsift: %s: %s\n", PrintableName(opt.treeIn).c_str(), strerror(nErr));
        return 1;
    }
    std::string root = opt.treeIn;
    while (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    std::vector<std::string> files;
    bool fAllListed = ListWorkbooks(root, &files);
    bool fToFiles = !opt.treeOut.empty();
    if (fToFiles && !MakeDirectories(opt.treeOut)) {
        fprintf(stderr, "cellsift: cannot create output folder %s: %s\n", PrintableName(opt.treeOut).c_str(),
                strerror(errno));
        return 1;
    }

    Batch batch;
    batch.results.resize(files.size());
    unsigned nWorkers = opt.nWorkers > 0 ? opt.nWorkers : 1;
    batch.cWindow = 16 * static_cast<size_t>(nWorkers);
    // The writer is one of the workers: it reads files itself while the result it is to write
    // next is not there, so N workers are N threads and one worker needs no hand-over.
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < nWorkers; ++i) {
        workers.emplace_back(Work, std::cref(opt), std::cref(root), std::cref(files), &batch);
    }

    struct timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    bool fProgress = isatty(2) != 0 && !opt.fQuiet;
    bool fHeaders = !fToFiles && opt.format != OutputFormat::Jsonl;
    double sLastDrawn = -1.0;
    unsigned long long cbIn = 0, cbOut = 0;
    size_t nFailed = 0;
    bool fAllWritten = true;
    for (size_t i = 0; i < files.size(); ++i) {
        FileResult result;
        {
            std::unique_lock<std::mutex> lock(batch.mutex);
            while (!batch.results[i].fDone) {
                if (ReadNextFile(opt, root, files, &batch, lock)) {
                    continue;
                }
                size_t iTarget = std::min(i + batch.cWindow / 2, files.size() - 1);
                batch.iWriterWaitsFor = batch.results[iTarget].fDone ? i : iTarget;
                batch.cvWriter.wait(lock);
            }
            batch.iWriterWaitsFor = SIZE_MAX;
            result = std::move(batch.results[i]);
        }
        if (fProgress && !result.err.empty()) {
            ClearProgress();
            sLastDrawn = -1.0;
        }
        std::string source = root + "/" + files[i];
        fAllWritten = fAllWritten && result.fWritten;
        if (!fToFiles) {
            if (fHeaders) {
                printf("%s==> %s <==\n", i > 0 ? "\n" : "", PrintableName(source).c_str());
            }
            fwrite(result.out.data(), 1, result.out.size(), stdout);
        }
        if (!result.err.empty()) {
            // After the text it belongs to.
            fflush(stdout);
            fputs(result.err.c_str(), stderr);
        }
        cbIn += result.cbIn;
        cbOut += result.cbOut;
        nFailed += result.fRead ? 0 : 1;
        {
            std::lock_guard<std::mutex> lock(batch.mutex);
            batch.iWritten = i + 1;
            if (batch.cWorkersWaiting > 0 && batch.iWritten + batch.cWindow / 2 >= batch.iNext) {
                batch.cvWorkers.notify_all();
            }
        }
        double sNow = SecondsSince(start);
        if (fProgress && (sLastDrawn < 0 || sNow - sLastDrawn >= 0.1 || i + 1 == files.size())) {
            ShowProgress(i + 1, files.size(), cbIn, sNow);
            sLastDrawn = sNow;
        }
    }
    {
        std::lock_guard<std::mutex> lock(batch.mutex);
        batch.iWritten = files.size();
        batch.cvWorkers.notify_all();
    }
    for (std::thread &worker : workers) {
        worker.join();
    }
    if (fProgress && !files.empty()) {
        ClearProgress();
    }
    // Beside the texts on standard output the summary would be taken for one of them.
    if (!opt.fQuiet || fToFiles) {
        fprintf(fToFiles ? stdout : stderr, "%zu files, %llu bytes in, %llu bytes out, %zu not read, %.2f s\n",
                files.size(), cbIn, cbOut, nFailed, SecondsSince(start));
    }
    return nFailed == 0 && fAllListed && fAllWritten ? 0 : 1;
}
