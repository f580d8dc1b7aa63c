// The batch: workers read the files ahead of one writer, which sends each file's output and
// messages out in the files' order, so any number of workers gives the output of one.
#include "Batch.h"

#include "BatchQueue.h"
#include "BatchWriter.h"
#include "TreeWalk.h"
#include "output/OutputEscape.h"

#include <errno.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <string.h>
#include <sys/stat.h>

#include <functional>
#include <thread>

namespace {

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
