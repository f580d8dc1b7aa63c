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
    rtRow2 = 0x0008,
    rtBof2 = 0x0009,
    rtEof = 0x000A,
    rtHeader = 0x0014,
    rtFooter = 0x0015,
    rtExternSheet = 0x0017,
    rtName = 0x0018, // BIFF2, and BIFF5 and later
    rtNote = 0x001C,
    rtFormat23 = 0x001E,
    rtArray2 = 0x0021,
    rtDateMode = 0x0022,
    rtExternName = 0x0023, // BIFF2, and BIFF5 and later
    rtFilePass = 0x002F,
    rtTable2 = 0x0036,
    rtContinue = 0x003C,
    rtCodePage = 0x0042,
    rtXf2 = 0x0043,
    rtWriteAccess = 0x005C,
    rtObj = 0x005D,
    rtColInfo = 0x007D,
    rtWsBool = 0x0081,
    rtBoundSheet = 0x0085,
    rtMulRk = 0x00BD,
    rtRString = 0x00D6,
    rtXf = 0x00E0,
    rtInterfaceHdr = 0x00E1,
    rtMergedCells = 0x00E5,
    rtSst = 0x00FC,
    rtLabelSst = 0x00FD,
    rtRrdHead = 0x0138,
    rtUsrExcl = 0x0194,
    rtFileLock = 0x0195,
    rtRrdInfo = 0x0196,
    rtUserSViewBegin = 0x01AA,
    rtUserSViewEnd = 0x01AB,
    rtSupBook = 0x01AE,
    rtTxo = 0x01B6,
    rtHLink = 0x01B8,
    rtDimensions = 0x0200,
    rtNumber = 0x0203,
    rtLabel = 0x0204,
    rtBoolErr = 0x0205,
    rtFormula3 = 0x0206,
    rtString = 0x0207,
    rtRow = 0x0208,
    rtBof3 = 0x0209,
    rtName34 = 0x0218, // BIFF3 and BIFF4
    rtArray = 0x0221,
    rtExternName34 = 0x0223, // BIFF3 and BIFF4
    rtTable = 0x0236,
    rtXf3 = 0x0243,
    rtRk = 0x027E,
    rtFormula4 = 0x0406,
    rtBof4 = 0x0409,
    rtFormat = 0x041E, // BIFF4 and later
    rtXf4 = 0x0443,
    rtShrFmla = 0x04BC,
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
