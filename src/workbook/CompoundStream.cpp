// The document's property sets, read whole out of the compound document beside the
// workbook stream.
#include "workbook/CompoundStream.h"

#include "cfb/CompoundFile.h"
#include "properties/PropertySet.h"

void ReadDocumentProperties(CfbFile *pFile, DocumentProperties *pProps, std::vector<std::string> *prgWarning)
{
    static const char16_t *const rgpwzStream[] = {u"\005SummaryInformation",
                                                  u"\005DocumentSummaryInformation"};
    for (const char16_t *pwzStream : rgpwzStream) {
        std::vector<uint8_t> rgb;
        if (ReadCompoundStream(pFile, pwzStream, &rgb)) {
            ReadPropertySetStream(rgb.data(), rgb.size(), pProps, prgWarning);
        }
    }
}
