// Well-formed UTF-8 for the fuzz targets: lead bytes with their continuation bytes, none cut.
#include "FuzzUtf8.h"

#include <stdint.h>

bool IsUtf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        uint8_t b = (uint8_t)text[i];
        size_t cbSeq = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (cbSeq == 0 || cbSeq > text.size() - i) {
            return false;
        }
        for (size_t k = 1; k < cbSeq; k++) {
            if (((uint8_t)text[i + k] >> 6) != 2) {
                return false;
            }
        }
        i += cbSeq;
    }
    return true;
}
