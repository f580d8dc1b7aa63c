// Locales made from ICU's CLDR data: their separators, names and the system's format codes, with
// the spreadsheet's own rules where they differ from CLDR's (a four-digit year in the short date).
#ifndef CELLSIFT_NUMFORMAT_ICULOCALE_H
#define CELLSIFT_NUMFORMAT_ICULOCALE_H

#include <stdint.h>

#include <memory>
#include <string>

#include "numformat/FormatLocale.h"

// The name of the ICU locale whose data shows tag (de-DE, de_AT, zh-TW: de_DE, de_AT,
// zh_Hant_TW; de-XX: de), without making anything; empty for a language ICU has no data for.
std::string IcuDataLocaleName(const std::string &tag);
// The locale made of an ICU locale's data (IcuDataLocaleName); nullptr when it cannot be made.
std::unique_ptr<FormatLocale> MakeIcuFormatLocale(const std::string &dataName);
// The locale name of a Windows LCID (0x419: ru_RU); empty for one ICU does not map.
std::string IcuLocaleNameOfLcid(uint32_t lcid);
// Fills the widest-text fields from the names.
void MeasureFormatLocale(FormatLocale *pLocale);

#endif
