// Fuzz target: the number-format parser and renderers. The first 8 bytes are a value, the rest
// a format code; what a code shows must stay linear in its length and valid UTF-8 when it is.
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <string_view>

#include "FuzzUtf8.h"
#include "workbook/NumberFormat.h"

namespace {

// The widest a token shows for the bytes it takes: "[s]" counts up to 14 digits of seconds.
const size_t cbOutPerCodeByte = 6;
const size_t cbOutFixed = 1024; // the digits of 1e308, its separators, a General value

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pbData, size_t cbData)
{
    double dInput = 0;
    if (cbData >= sizeof(dInput)) {
        memcpy(&dInput, pbData, sizeof(dInput));
        pbData += sizeof(dInput);
        cbData -= sizeof(dInput);
    }
    std::string_view code((const char *)pbData, cbData);
    NumberFormat format(code);
    bool fUtf8 = IsUtf8(code);
    const double rgd[] = {dInput, 0.0, -1.5, 45000.75, 1e300, -1e-300, 0.5, 2958465.999999, NAN, -INFINITY};
    std::string out;
    for (double d : rgd) {
        for (bool fDate1904 : {false, true}) {
            out.clear();
            format.Render(d, fDate1904, &out);
            if (out.size() > cbOutPerCodeByte * cbData + cbOutFixed || (fUtf8 && !IsUtf8(out)))
                abort();
        }
    }
    out.clear();
    format.RenderText("text", &out);
    if (out.size() > 4 * cbData + 4 || (fUtf8 && !IsUtf8(out)))
        abort();
    (void)format.IsDate();
    return 0;
}
