// Windows-1251 to UTF-8, for the text and the fixed strings the plug-in hands over.
// The tool's only character conversion; the plug-in itself never writes UTF-8.
#ifndef CELLSIFT_TOOLS_CP1251_H
#define CELLSIFT_TOOLS_CP1251_H

#include <string>
#include <string_view>

// Appends the UTF-8 form of cb bytes of Windows-1251 text to out. The one unassigned byte,
// 0x98, becomes U+FFFD: it can only come from 8-bit text the plug-in copied byte for byte,
// and a replacement character shows that better than a guess.
void AppendCp1251AsUtf8(const char *pb, size_t cb, std::string &out);

std::string Cp1251ToUtf8(std::string_view text);

#endif
