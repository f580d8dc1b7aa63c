// Hyperlinks of a BIFF8 sheet: the HLINK record (the cells, the target and its description)
// and the HLINKTOOLTIP record after it.
#ifndef CELLSIFT_RECORDTEXT_HYPERLINK_H
#define CELLSIFT_RECORDTEXT_HYPERLINK_H

#include <stddef.h>
#include <stdint.h>

#include <string>

class CodePageDecoder;

// target is what the link opens: a URL (mailto: included), a file path (relative ones with
// their "..\" levels, UNC paths as \\server\share\...), each followed by "#" and the place in
// it when there is one; or, for a link within the workbook, only that place ("Sheet2!A1").
struct HyperlinkRecord {
    uint32_t rowFirst = 0;
    uint32_t rowLast = 0;
    uint32_t colFirst = 0;
    uint32_t colLast = 0;
    std::string target;
    std::string description;
    std::string tooltip;
};

// Reads an HLINK body. The 8-bit path of a file link is in the writer's code page: decoder.
// False when a field runs past the body or the link is of a kind not known; what could be
// read is still filled in.
bool ReadHlink(const uint8_t *pb, size_t cb, CodePageDecoder &decoder, HyperlinkRecord *pLink);

// Reads an HLINKTOOLTIP body into the tooltip of pLink, the link read just before it. False
// when the record names other cells or is cut short.
bool ReadHlinkTooltip(const uint8_t *pb, size_t cb, HyperlinkRecord *pLink);

#endif
