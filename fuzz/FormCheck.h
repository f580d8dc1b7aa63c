// Checks of the written forms for the fuzz target and the printers' tests: each JSON line a
// valid JSON text in strict UTF-8, and CSV with every quote where RFC 4180 allows it.
#ifndef CELLSIFT_FUZZ_FORMCHECK_H
#define CELLSIFT_FUZZ_FORMCHECK_H

#include <string_view>

// True when text is one JSON value (RFC 8259) with optional white space around it: strings
// of valid UTF-8 without raw control characters, escapes that exist, \u surrogates paired.
bool IsJsonText(std::string_view text);

// True when every line of text (lines end in "\n", the last one too) is IsJsonText.
bool IsJsonLines(std::string_view text);

// True when text is records of fields as RFC 4180 writes them: each record ends in CRLF, a
// field holding a quote, comma, CR or LF is quoted, and quotes inside are doubled.
bool IsCsv(std::string_view text);

#endif
