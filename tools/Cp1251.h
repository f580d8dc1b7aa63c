// Windows-1251 to UTF-8, for the text and the fixed strings the plug-in hands over; the
// plug-in itself never writes UTF-8.
#ifndef CELLSIFT_TOOLS_CP1251_H
#define CELLSIFT_TOOLS_CP1251_H

#include <stdio.h>

#include <string>
#include <string_view>

// The UTF-8 form of Windows-1251 text. The one unassigned byte, 0x98, becomes U+FFFD: it can
// only come from 8-bit text the plug-in copied byte for byte, and a replacement character
// shows that better than a guess.
std::string Cp1251ToUtf8(std::string_view text);

// Writes the UTF-8 form of text to pf; false when a write fails.
bool WriteCp1251AsUtf8(FILE *pf, std::string_view text);

#endif
