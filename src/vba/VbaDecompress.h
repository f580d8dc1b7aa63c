// The run-length/copy-token compression of a VBA project's streams: decompressing a container
// whatever it holds, in time and output bounded by what it could hold.
#ifndef CELLSIFT_VBA_VBADECOMPRESS_H
#define CELLSIFT_VBA_VBADECOMPRESS_H

#include <stddef.h>
#include <stdint.h>

#include <string>

enum class VbaDecompressResult {
    Ok,
    Damaged,  // no signature, a chunk header of another kind, a copy from before its chunk
    TooLarge, // the output reached cbMax
};

// Appends the bytes the compressed container at pb (cb bytes) holds to *ps, never more than
// cbMax. A damaged chunk ends the container: what came before it is kept.
VbaDecompressResult VbaDecompress(const uint8_t *pb, size_t cb, size_t cbMax, std::string *ps);

#endif
