// How texts are escaped in the written forms (a line of text, a JSON string, a CSV field, HTML)
// and in the tool's headers and messages, whose file names may hold any bytes.
#ifndef CELLSIFT_OUTPUT_OUTPUTESCAPE_H
#define CELLSIFT_OUTPUT_OUTPUTESCAPE_H

#include <stddef.h>

#include <string>
#include <string_view>

// The bytes of the valid UTF-8 sequence that starts at pb (at most cb bytes there), or 0 when
// none does: a stray continuation byte, an overlong form, a surrogate, past U+10FFFF, or cut.
size_t Utf8SequenceLength(const unsigned char *pb, size_t cb);

// The text with every byte that starts no valid UTF-8 sequence replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

// Text on one line: C0 controls (tabs and line breaks among them), DEL, C1 controls and the
// line and paragraph separators U+2028 and U+2029 each become one space.
void AppendOneLine(std::string_view text, std::string *ps);

// A JSON string of UTF-8 text: quotes, backslashes and C0 controls escaped.
void AppendJsonString(std::string_view text, std::string *ps);

// A CSV field (RFC 4180): quoted when it holds a comma, a quote, a line break or a form feed;
// NUL becomes a space.
void AppendCsvField(std::string_view text, std::string *ps);

// HTML text of UTF-8 text: & < > " as entities, C0 controls other than tab and line feed as
// spaces.
void AppendHtml(std::string_view text, std::string *ps);

// A file name as the tool shows it in headers and messages, so that no name can end a line
// or move the cursor: control characters as \n, \r, \t, \xHH (C0 and DEL) or \uXXXX (C1,
// U+2028, U+2029), bytes that are no UTF-8 as \xHH; everything else as it is.
std::string PrintableName(std::string_view name);

#endif
