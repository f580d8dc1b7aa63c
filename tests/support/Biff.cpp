// Test support: record building, UTF-8 to UTF-16 and Windows-1251 for expectations. It needs
// nothing of the library, so the host tests, which load the library at run time, can use it.
#include "support/Biff.h"

#include <stdlib.h>
#include <string.h>

#include <stdexcept>

Bytes Cat(std::initializer_list<Bytes> pieces)
{
    Bytes out;
    for (const Bytes &piece : pieces) {
        out.insert(out.end(), piece.begin(), piece.end());
    }
    return out;
}

Bytes Le16(uint16_t w)
{
    return Bytes{static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8)};
}

Bytes Le32(uint32_t dw)
{
    return Cat({Le16(static_cast<uint16_t>(dw)), Le16(static_cast<uint16_t>(dw >> 16))});
}

Bytes Ascii(const std::string &s)
{
    return Bytes(s.begin(), s.end());
}

namespace {

std::vector<uint32_t> CodePoints(const std::string &s)
{
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        uint8_t b = static_cast<uint8_t>(s[i]);
        int cb = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        uint32_t cp = cb == 1 ? b : cb == 2 ? (b & 0x1F) : cb == 3 ? (b & 0x0F) : (b & 0x07);
        for (int k = 1; k < cb; ++k) {
            cp = (cp << 6) | (static_cast<uint8_t>(s.at(i + k)) & 0x3F);
        }
        out.push_back(cp);
        i += cb;
    }
    return out;
}

} // namespace

Bytes Utf16(const std::string &sUtf8)
{
    Bytes out;
    for (uint32_t cp : CodePoints(sUtf8)) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            Bytes hi = Le16(static_cast<uint16_t>(0xD800 + (cp >> 10)));
            Bytes lo = Le16(static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
            out.insert(out.end(), hi.begin(), hi.end());
            out.insert(out.end(), lo.begin(), lo.end());
        } else {
            Bytes unit = Le16(static_cast<uint16_t>(cp));
            out.insert(out.end(), unit.begin(), unit.end());
        }
    }
    return out;
}

std::string Cp1251(const std::string &sUtf8)
{
    std::string out;
    for (uint32_t cp : CodePoints(sUtf8)) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp >= 0x410 && cp <= 0x44F) {
            out += static_cast<char>(0xC0 + (cp - 0x410));
        } else if (cp == 0x401) {
            out += '\xA8';
        } else if (cp == 0x451) {
            out += '\xB8';
        } else {
            throw std::invalid_argument("no Windows-1251 byte in this helper");
        }
    }
    return out;
}

BiffStream &BiffStream::Record(uint16_t wType, const Bytes &body)
{
    Bytes header = Cat({Le16(wType), Le16(static_cast<uint16_t>(body.size()))});
    bytes.insert(bytes.end(), header.begin(), header.end());
    bytes.insert(bytes.end(), body.begin(), body.end());
    return *this;
}
