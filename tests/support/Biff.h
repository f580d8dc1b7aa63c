// Test support: builds workbook streams record by record and runs the walker over them,
// with the stream flush against the end of its allocation so over-reads are caught.
#ifndef CELLSIFT_TESTS_SUPPORT_BIFF_H
#define CELLSIFT_TESTS_SUPPORT_BIFF_H

#include <stdint.h>

#include <initializer_list>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

// Concatenation of byte pieces: Cat({Le16(5), {0x00}, Ascii("Hello")}).
Bytes Cat(std::initializer_list<Bytes> pieces);
Bytes Le16(uint16_t w);
Bytes Le32(uint32_t dw);
Bytes Ascii(const std::string &s);
// UTF-16LE units of a UTF-8 text.
Bytes Utf16(const std::string &sUtf8);

struct BiffStream {
    Bytes bytes;
    BiffStream &Record(uint16_t wType, const Bytes &body);
};

// The text the walker appends for the stream, read from a copy that ends exactly where its
// heap block ends.
std::string Walk(const Bytes &stream);

// Windows-1251 bytes of a UTF-8 text (letters of the Russian alphabet and ASCII only).
std::string Cp1251(const std::string &sUtf8);

#endif
