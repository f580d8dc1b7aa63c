// Fuzz target: the storage calls over arbitrary file bytes, as the extractor makes them:
// open the document, find the workbook stream, learn its size, read it whole.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "FuzzFile.h"
#include "platform/Win32.h"

namespace {

const DWORD grfMode = STGM_SHARE_EXCLUSIVE | STGM_READ;

std::vector<OLECHAR> Wide(const char *psz)
{
    std::vector<OLECHAR> w;
    for (; *psz != 0; psz++) {
        w.push_back(static_cast<OLECHAR>(static_cast<unsigned char>(*psz)));
    }
    w.push_back(0);
    return w;
}

void ReadWhole(IStream *pStream, uint64_t cbFile)
{
    STATSTG st;
    memset(&st, 0, sizeof(st));
    if (pStream->Stat(&st, STATFLAG_NONAME) != S_OK) {
        return;
    }
    // A declared size may be any lie, as with the system's reader; a read stops where the
    // chain or the file ends, so it never gives more than the file and one sector of zeros.
    // The extractor asks for no more than that either.
    const uint64_t cbBound = cbFile + 4096;
    uint64_t cbAsk = st.cbSize.QuadPart < cbBound + 2 * 4096 ? st.cbSize.QuadPart : cbBound + 2 * 4096;
    std::vector<BYTE> rgb(static_cast<size_t>(cbAsk) + 1);
    ULONG cbRead = 0;
    pStream->Read(rgb.data(), static_cast<ULONG>(rgb.size()), &cbRead);
    if (cbRead > st.cbSize.QuadPart || cbRead > cbBound) {
        abort();
    }
    // Reading in odd pieces from a moved position gives the same bytes as far as both go.
    LARGE_INTEGER li;
    li.QuadPart = 1;
    ULARGE_INTEGER uli;
    if (cbRead > 1 && pStream->Seek(li, STREAM_SEEK_SET, &uli) == S_OK) {
        std::vector<BYTE> rgbAgain(cbRead - 1);
        ULONG cbPiece = 0, cbAgain = 0;
        while (cbAgain < rgbAgain.size() &&
               pStream->Read(
                   rgbAgain.data() + cbAgain,
                   static_cast<ULONG>(rgbAgain.size() - cbAgain < 777 ? rgbAgain.size() - cbAgain : 777),
                   &cbPiece) == S_OK &&
               cbPiece > 0) {
            cbAgain += cbPiece;
        }
        if (cbAgain > rgbAgain.size() || memcmp(rgbAgain.data(), rgb.data() + 1, cbAgain) != 0) {
            abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pbData, size_t cbData)
{
    if (!WriteFuzzFile(pbData, cbData)) {
        return 0;
    }
    std::vector<OLECHAR> path = Wide(FuzzFilePath());
    IStorage *pStorage = nullptr;
    if (StgOpenStorage(path.data(), nullptr, grfMode, nullptr, 0, &pStorage) != S_OK) {
        return 0;
    }
    for (const char *pszName : {"Workbook", "Book"}) {
        IStream *pStream = nullptr;
        std::vector<OLECHAR> name = Wide(pszName);
        if (pStorage->OpenStream(name.data(), nullptr, grfMode, 0, &pStream) == S_OK) {
            ReadWhole(pStream, cbData);
            pStream->Release();
        }
    }
    pStorage->Release();
    return 0;
}
