// Prints, per file named on a line of standard input, what the extractor's storage calls answer:
// each call's result, the stream's size, the count read and a hash of the bytes read.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform/Win32.h"

namespace {

const DWORD grfMode = STGM_SHARE_EXCLUSIVE | STGM_READ;
// Larger declared sizes are read only this far: past the end of every file in the set, so
// enough to see where a chain breaks.
const ULONG cbReadLimit = 4u << 20;

std::vector<OLECHAR> Wide(const char *psz)
{
    std::vector<OLECHAR> rgw;
    for (; *psz != 0; psz++) {
        rgw.push_back((OLECHAR)(unsigned char)*psz);
    }
    rgw.push_back(0);
    return rgw;
}

uint64_t Fnv1a(const BYTE *pb, size_t cb)
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < cb; i++) {
        h = (h ^ pb[i]) * 0x100000001b3ull;
    }
    return h;
}

void ProbeFile(const char *pszPath)
{
    printf("%s", pszPath);
    IStorage *pStorage = nullptr;
    HRESULT hr = StgOpenStorage(Wide(pszPath).data(), nullptr, grfMode, nullptr, 0, &pStorage);
    printf(" open=%08lx", (unsigned long)(uint32_t)hr);
    if (hr != S_OK) {
        printf("\n");
        return;
    }
    IStream *pStream = nullptr;
    const char *pszStream = "Workbook";
    hr = pStorage->OpenStream(Wide(pszStream).data(), nullptr, grfMode, 0, &pStream);
    if (hr != S_OK) {
        pszStream = "Book";
        hr = pStorage->OpenStream(Wide(pszStream).data(), nullptr, grfMode, 0, &pStream);
    }
    printf(" %s=%08lx", pszStream, (unsigned long)(uint32_t)hr);
    if (hr == S_OK) {
        STATSTG statstg;
        memset(&statstg, 0, sizeof(statstg));
        hr = pStream->Stat(&statstg, STATFLAG_NONAME);
        uint64_t cbSize = statstg.cbSize.QuadPart;
        printf(" stat=%08lx size=%llu", (unsigned long)(uint32_t)hr, (unsigned long long)cbSize);
        LARGE_INTEGER liZero;
        liZero.QuadPart = 0;
        hr = pStream->Seek(liZero, STREAM_SEEK_SET, nullptr);
        printf(" seek=%08lx", (unsigned long)(uint32_t)hr);
        ULONG cbWant = cbSize < cbReadLimit ? (ULONG)cbSize : cbReadLimit;
        std::vector<BYTE> rgb((size_t)cbWant + 1, 0);
        ULONG cbRead = 0;
        hr = pStream->Read(rgb.data(), cbWant, &cbRead);
        printf(" read=%08lx count=%lu hash=%016llx", (unsigned long)(uint32_t)hr, (unsigned long)cbRead,
               (unsigned long long)Fnv1a(rgb.data(), cbRead <= cbWant ? cbRead : cbWant));
        pStream->Release();
    }
    pStorage->Release();
    printf("\n");
}

} // namespace

int main()
{
    // Names come on standard input: a command line could not hold thousands of them.
    char szLine[4096];
    while (fgets(szLine, sizeof(szLine), stdin) != nullptr) {
        szLine[strcspn(szLine, "\r\n")] = 0;
        if (szLine[0] != 0) {
            ProbeFile(szLine);
        }
        fflush(stdout);
    }
    return 0;
}
