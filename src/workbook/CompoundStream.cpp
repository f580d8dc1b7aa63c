// Whole streams out of a compound document. A damaged document may declare more than it
// holds or a chain that comes round again: a copy never exceeds the file itself.
#include "workbook/CompoundStream.h"

#include "cfb/CompoundFile.h"
#include "properties/PropertySet.h"

uint64_t ReadStreamBytes(CfbFile *pFile, CfbStreamMap *pMap, uint8_t *pb, uint64_t cbWant)
{
    uint64_t ibDone = 0;
    while (ibDone < cbWant) {
        uint64_t cbLeft = cbWant - ibDone;
        uint32_t cbChunk = cbLeft < 0x40000000u ? static_cast<uint32_t>(cbLeft) : 0x40000000u;
        uint32_t cbRead = 0;
        CfbResult result = CfbReadStream(pFile, pMap, ibDone, pb + ibDone, cbChunk, &cbRead);
        ibDone += cbRead;
        if (result != CfbResult::Ok || cbRead == 0) {
            break;
        }
    }
    return ibDone;
}

bool ReadCompoundStream(CfbFile *pFile, const char16_t *pwzName, std::vector<uint8_t> *prgb)
{
    CfbStreamMap map;
    prgb->clear();
    if (CfbOpenStream(pFile, pwzName, &map) != CfbResult::Ok) {
        return false;
    }
    uint64_t cbWant = map.m_cbSize < pFile->m_cbFile ? map.m_cbSize : pFile->m_cbFile;
    prgb->resize(static_cast<size_t>(cbWant));
    prgb->resize(static_cast<size_t>(ReadStreamBytes(pFile, &map, prgb->data(), cbWant)));
    return true;
}

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
