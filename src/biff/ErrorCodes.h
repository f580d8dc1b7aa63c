// The error values a cell, a formula's constant or an array's element stores, by their codes,
// as a spreadsheet shows them: one table for the cells and the formulas.
#ifndef CELLSIFT_BIFF_ERRORCODES_H
#define CELLSIFT_BIFF_ERRORCODES_H

#include <stdint.h>

// Null for a code no error value has.
inline const char *BiffErrorText(uint8_t bCode)
{
    switch (bCode) {
    case 0x00: return "#NULL!";
    case 0x07: return "#DIV/0!";
    case 0x0F: return "#VALUE!";
    case 0x17: return "#REF!";
    case 0x1D: return "#NAME?";
    case 0x24: return "#NUM!";
    case 0x2A: return "#N/A";
    case 0x2B: return "#GETTING_DATA";
    default: return nullptr;
    }
}

#endif
