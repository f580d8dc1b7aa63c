// The batch's workers: each item read with its output and messages caught in memory, taken in
// the listed order while the window has room, and handed to the writer under the queue's lock.
#include "BatchQueue.h"

#include "output/OutputEscape.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

namespace {

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

} // namespace

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
