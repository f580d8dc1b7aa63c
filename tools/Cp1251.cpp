// Windows-1251 to UTF-8 for the plug-in's text: a table of every byte's UTF-8 form, made once
// from the code page's table.
#include "Cp1251.h"

#include "text/Cp1251Table.h"

namespace {

// The UTF-8 form of every byte: its length, then up to three bytes.
struct Utf8Table {
    unsigned char rgb[256][4];
    Utf8Table()
    {
        for (unsigned b = 0; b < 256; ++b) {
            // The unassigned byte can only come from 8-bit text copied as it was: a
            // replacement character shows that better than a control character would.
            unsigned w = b < 0x80 ? b : b == bCp1251Unassigned ? 0xFFFD : rgwCp1251HighHalf[b - 0x80];
            unsigned char *pb = rgb[b];
            if (w < 0x80) {
                pb[0] = 1;
                pb[1] = static_cast<unsigned char>(w);
            } else if (w < 0x800) {
                pb[0] = 2;
                pb[1] = static_cast<unsigned char>(0xC0 | (w >> 6));
                pb[2] = static_cast<unsigned char>(0x80 | (w & 0x3F));
            } else {
                pb[0] = 3;
                pb[1] = static_cast<unsigned char>(0xE0 | (w >> 12));
                pb[2] = static_cast<unsigned char>(0x80 | ((w >> 6) & 0x3F));
                pb[3] = static_cast<unsigned char>(0x80 | (w & 0x3F));
            }
        }
    }
};

const Utf8Table g_utf8;

// Converts cb bytes of text from pb into pbOut, which has room for three bytes each; returns
// the end of what was written.
unsigned char *ConvertChunk(const char *pb, size_t cb, unsigned char *pbOut)
{
    for (size_t ib = 0; ib < cb; ++ib) {
        const unsigned char *pbCode = g_utf8.rgb[static_cast<unsigned char>(pb[ib])];
        pbOut[0] = pbCode[1];
        pbOut[1] = pbCode[2];
        pbOut[2] = pbCode[3];
        pbOut += pbCode[0];
    }
    return pbOut;
}

const size_t cbChunk = 16 * 1024;

} // namespace

std::string Cp1251ToUtf8(std::string_view text)
{
    std::string out(3 * text.size(), '\0');
    unsigned char *pbOut = reinterpret_cast<unsigned char *>(&out[0]);
    out.resize(static_cast<size_t>(ConvertChunk(text.data(), text.size(), pbOut) - pbOut));
    return out;
}

bool WriteCp1251AsUtf8(FILE *pf, std::string_view text)
{
    // In chunks: a text of many megabytes needs no second copy of itself in memory.
    unsigned char rgbOut[3 * cbChunk];
    for (size_t ib = 0; ib < text.size(); ib += cbChunk) {
        size_t cb = text.size() - ib < cbChunk ? text.size() - ib : cbChunk;
        size_t cbOut = static_cast<size_t>(ConvertChunk(text.data() + ib, cb, rgbOut) - rgbOut);
        if (fwrite(rgbOut, 1, cbOut, pf) != cbOut) {
            return false;
        }
    }
    return true;
}
