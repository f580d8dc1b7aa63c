// The batch's queue: the items the walk lists, the results the workers read ahead of the
// writer, and the window and wake-ups that keep the two sides a bounded distance apart.
#ifndef CELLSIFT_TOOLS_BATCHQUEUE_H
#define CELLSIFT_TOOLS_BATCHQUEUE_H

#include <stdint.h>
#include <stdio.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "Batch.h"

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
void ReadOne(const Batch &batch, const BatchItem &item, FILE *pfOut, FileResult *pResult);

// A worker: reads the items as they are listed until the list is whole and every item taken.
void Work(Batch *pBatch);

// Adds an item as the walk finds it, or marks the list whole (item null).
void List(Batch *pBatch, BatchItem *pItem);

// The result of item i once it is there; the writer reads items itself meanwhile. With
// fWait false, only a result that is there already (false when it is not).
bool TakeResult(Batch *pBatch, size_t i, bool fWait, FileResult *pResult);

// The writer is done with the first cWritten items: workers waiting for room wake once half a
// window is free.
void MarkWritten(Batch *pBatch, size_t cWritten);

#endif
