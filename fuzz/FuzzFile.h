// Shared by the fuzz targets that need a file: one scratch path per process, rewritten
// with each input, so the reader under test sees the bytes exactly as the fuzzer made them.
#ifndef CELLSIFT_FUZZ_FUZZFILE_H
#define CELLSIFT_FUZZ_FUZZFILE_H

#include <stddef.h>
#include <stdint.h>

// The scratch path, in the ANSI form the exports take. Memory-backed where the system has
// it: the targets write a file for every execution.
const char *FuzzFilePath();

// Replaces the scratch file's content by the input; false when it could not be written.
bool WriteFuzzFile(const uint8_t *pb, size_t cb);

#endif
