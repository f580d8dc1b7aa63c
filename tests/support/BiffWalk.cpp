// Test support: the walker run over a tightly allocated copy of a stream, kept apart from
// the record builder because it links against the library's core.
#include "support/Biff.h"

#include <stdlib.h>
#include <string.h>

#include "xls/Walker.h"

std::string Walk(const Bytes &stream)
{
    // No spare byte: a read one past the stream lands outside the block.
    uint8_t *pb = static_cast<uint8_t *>(malloc(stream.empty() ? 1 : stream.size()));
    if (!stream.empty()) {
        memcpy(pb, stream.data(), stream.size());
    }
    Vstr out;
    WalkXlsRecords(pb, static_cast<int32_t>(stream.size()), out);
    free(pb);
    return std::string(out.GetText(), out.GetLength());
}
