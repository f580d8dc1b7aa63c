// Windows-1251 to UTF-8: the upper half of the code page by table, the lower half as is.
// 0xC0..0xFF are the 64 letters U+0410..U+044F in order, so only 0x80..0xBF need a table.
#include "Cp1251.h"

namespace {

const unsigned short s_wUpper80[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};

// The UTF-8 form of every byte: its length, then up to three bytes.
struct Utf8Table {
    unsigned char rgb[256][4];
    Utf8Table()
    {
        for (unsigned b = 0; b < 256; ++b) {
            unsigned w = b < 0x80 ? b : b < 0xC0 ? s_wUpper80[b - 0x80] : 0x0410 + (b - 0xC0);
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
