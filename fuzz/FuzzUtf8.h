// The check the text targets share: whatever the input, what the reader or the format
// engine hands out is well-formed UTF-8.
#ifndef CELLSIFT_FUZZ_FUZZUTF8_H
#define CELLSIFT_FUZZ_FUZZUTF8_H

#include <string_view>

bool IsUtf8(std::string_view text);

#endif
