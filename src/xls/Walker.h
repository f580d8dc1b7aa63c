// The record walker: one forward pass over a workbook stream in memory that appends the
// text of its text-bearing records to the output, each complete piece followed by " ".
#ifndef CELLSIFT_XLS_WALKER_H
#define CELLSIFT_XLS_WALKER_H

#include <stdint.h>

#include "text/Vstr.h"

// Walks the cbStream bytes at pbStream and appends their text to out. Whatever the bytes
// claim, it reads only inside those cbStream bytes, always moves forward and always ends.
// A stream of 4 bytes or fewer (or a negative count) yields nothing.
void WalkXlsRecords(const uint8_t *pbStream, int32_t cbStream, Vstr &out);

#endif
