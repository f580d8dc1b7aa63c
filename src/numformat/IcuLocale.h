// Locales made from ICU's CLDR data: their separators, names and the system's format codes, with
// the spreadsheet's own rules where they differ from CLDR's (a four-digit year in the short date).
#ifndef CELLSIFT_NUMFORMAT_ICULOCALE_H
#define CELLSIFT_NUMFORMAT_ICULOCALE_H

#include <stdint.h>

#include <memory>
#include <string>

#include "numformat/FormatLocale.h"

// nullptr when ICU has no data for the tag's language; *pDataName names the data it used.
std::unique_ptr<FormatLocale> MakeIcuFormatLocale(const std::string &tag, std::string *pDataName);
// The locale name of a Windows LCID (0x419: ru_RU); empty for one ICU does not map.
std::string IcuLocaleNameOfLcid(uint32_t lcid);
// Fills the widest-text fields from the names.
void MeasureFormatLocale(FormatLocale *pLocale);

#endif
