// The record types of the BIFF workbook stream that the workbook reader knows, in one place and
// under one naming scheme: rt and the record's name, with the BIFF version it belongs to.
#ifndef CELLSIFT_BIFF_RECORDTYPES_H
#define CELLSIFT_BIFF_RECORDTYPES_H

#include <stdint.h>

enum : uint16_t {
    rtBlank2 = 0x0001,
    rtInteger2 = 0x0002,
    rtNumber2 = 0x0003,
    rtLabel2 = 0x0004,
    rtBoolErr2 = 0x0005,
    rtFormula = 0x0006, // BIFF2, and BIFF5 and later
    rtString2 = 0x0007,
    rtBof2 = 0x0009,
    rtEof = 0x000A,
    rtHeader = 0x0014,
    rtFooter = 0x0015,
    rtNote = 0x001C,
    rtFormat23 = 0x001E,
    rtDateMode = 0x0022,
    rtFilePass = 0x002F,
    rtContinue = 0x003C,
    rtCodePage = 0x0042,
    rtXf2 = 0x0043,
    rtWriteAccess = 0x005C,
    rtObj = 0x005D,
    rtBoundSheet = 0x0085,
    rtMulRk = 0x00BD,
    rtRString = 0x00D6,
    rtXf = 0x00E0,
    rtInterfaceHdr = 0x00E1,
    rtSst = 0x00FC,
    rtLabelSst = 0x00FD,
    rtRrdHead = 0x0138,
    rtUsrExcl = 0x0194,
    rtFileLock = 0x0195,
    rtRrdInfo = 0x0196,
    rtUserSViewBegin = 0x01AA,
    rtUserSViewEnd = 0x01AB,
    rtTxo = 0x01B6,
    rtHLink = 0x01B8,
    rtNumber = 0x0203,
    rtLabel = 0x0204,
    rtBoolErr = 0x0205,
    rtFormula3 = 0x0206,
    rtString = 0x0207,
    rtBof3 = 0x0209,
    rtXf3 = 0x0243,
    rtRk = 0x027E,
    rtFormula4 = 0x0406,
    rtBof4 = 0x0409,
    rtFormat = 0x041E, // BIFF4 and later
    rtXf4 = 0x0443,
    rtHLinkTooltip = 0x0800,
    rtBof = 0x0809,
    rtHeaderFooter = 0x089C, // BIFF8
    rtSeries = 0x1003,       // charts
    rtSeriesText = 0x100D,
    rtText = 0x1025,
    rtObjectLink = 0x1027,
    rtBegin = 0x1033,
    rtEnd = 0x1034,
};

inline bool IsBofType(uint16_t wType)
{
    return wType == rtBof || wType == rtBof4 || wType == rtBof3 || wType == rtBof2;
}

#endif
