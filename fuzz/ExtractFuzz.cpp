// Fuzz target: the whole text export over a document written from the input, with a
// capacity smaller than most texts and one larger than any the fuzzer can make.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "FuzzFile.h"
#include "cellsift.h"

namespace {

const int nSmall = 16;
const int nLarge = 1 << 18;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pbData, size_t cbData)
{
    if (!WriteFuzzFile(pbData, cbData)) {
        return 0;
    }
    static std::vector<char> rgchLarge(nLarge + 1);
    char rgchSmall[nSmall + 1];
    const char *pszPath = FuzzFilePath();
    int cchSmall = GetTextPortionOfDocument(pszPath, rgchSmall, nSmall);
    int cchLarge = GetTextPortionOfDocument(pszPath, rgchLarge.data(), nLarge);
    // The count is what was written, within the capacity; the small text is the large
    // one cut short, since the same file gives the same text.
    if (cchSmall < 0 || cchSmall > nSmall || strlen(rgchSmall) != static_cast<size_t>(cchSmall)) {
        abort();
    }
    if (cchLarge < 0 || cchLarge > nLarge || strlen(rgchLarge.data()) != static_cast<size_t>(cchLarge)) {
        abort();
    }
    // The text is never longer than the workbook stream it came from. The size is the low
    // 32 bits of what the document declares, which the int of the export may show negative.
    uint32_t cbStream = static_cast<uint32_t>(GetLengthOfTextPortion(pszPath, 0));
    if (static_cast<uint32_t>(cchLarge) > cbStream) {
        abort();
    }
    int cchCommon = cchSmall < cchLarge ? cchSmall : cchLarge;
    if (memcmp(rgchSmall, rgchLarge.data(), static_cast<size_t>(cchCommon)) != 0 ||
        (cchLarge >= nSmall && cchSmall != nSmall)) {
        abort();
    }
    return 0;
}
