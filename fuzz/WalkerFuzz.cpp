// Fuzz target: the record walker over arbitrary workbook-stream bytes, and the properties
// its output must keep whatever the stream says.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "text/Vstr.h"
#include "xls/Walker.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pbData, size_t cbData)
{
    if (cbData > 0x7FFFFFFF) {
        return 0;
    }
    Vstr out;
    WalkXlsRecords(pbData, static_cast<int32_t>(cbData), out);
    // The cleaning rule leaves no NUL and no control byte but CR and LF in the text; a
    // piece decoded from the wrong place would show up here first.
    const uint8_t *pb = reinterpret_cast<const uint8_t *>(out.GetText());
    for (uint32_t i = 0; i < out.GetLength(); i++) {
        if (pb[i] < 0x20 && pb[i] != '\r' && pb[i] != '\n') {
            abort();
        }
    }
    if (pb[out.GetLength()] != 0) {
        abort();
    }
    // Each piece comes from bytes of its own and its separator from the header before it, so
    // no text is longer than its stream: a walk that steps back into text it has emitted
    // (a body size that wrapped) multiplies the text and shows up here.
    if (out.GetLength() > cbData) {
        abort();
    }
    return 0;
}
