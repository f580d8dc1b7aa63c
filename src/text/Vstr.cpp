// Vstr: growth by request + 256, the text always NUL-terminated inside its block, and the
// two stderr diagnostics that are the buffer's only way of reporting trouble.
#include "text/Vstr.h"

#include "platform/Services.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const uint32_t cbSlack = 256;
const int nLineReallocFailed = 314;
const int nLineOutOfRange = 324;

// "%s в файле %s в строке %d" in Windows-1251.
const char szDiagnosticFormat[] = "%s \xE2 \xF4\xE0\xE9\xEB\xE5 %s \xE2 \xF1\xF2\xF0\xEE\xEA\xE5 %d";

void ReportMisuse(const char *pszCondition, int nLine)
{
    fprintf(stderr, szDiagnosticFormat, pszCondition, __FILE__, nLine);
}

} // namespace

Vstr::Vstr() : m_nLength(0), m_nCapacity(0), m_pData(nullptr), m_nLengthMax(UINT32_MAX)
{
    Reserve(2);
    if (m_pData != nullptr) {
        m_pData[0] = '\0';
    }
}

Vstr::~Vstr()
{
    free(m_pData);
}

void Vstr::Reserve(uint32_t cb)
{
    if (cb < m_nCapacity) {
        return;
    }
    // A block whose size does not fit its 32-bit count is refused like one the heap refused:
    // a wrapped count would shrink the block under the text.
    if (cb > UINT32_MAX - cbSlack) {
        ReportMisuse("REALLOC_RETURN_NULL", nLineReallocFailed);
        return;
    }
    char *pNew = static_cast<char *>(realloc(m_pData, static_cast<size_t>(cb) + cbSlack));
    if (pNew == nullptr) {
        ReportMisuse("REALLOC_RETURN_NULL", nLineReallocFailed);
        return;
    }
    m_pData = pNew;
    m_nCapacity = cb + cbSlack;
    AdviseLargeBlock(m_pData, m_nCapacity);
}

void Vstr::AppendBytes(const char *pb, uint32_t cb)
{
    uint32_t cchAllowed = m_nLength < m_nLengthMax ? m_nLengthMax - m_nLength : 0;
    if (cb > cchAllowed) {
        cb = cchAllowed;
    }
    // Summed in 64 bits; a sum past 32 bits asks for more than Reserve ever grants.
    uint64_t cbNeed = static_cast<uint64_t>(m_nLength) + cb + 1;
    Reserve(cbNeed > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(cbNeed));
    if (m_pData == nullptr) {
        return;
    }
    // After a failed growth only what fits the old block is taken.
    uint32_t cbRoom = m_nCapacity - m_nLength - 1;
    if (cb > cbRoom) {
        cb = cbRoom;
    }
    memcpy(m_pData + m_nLength, pb, cb);
    m_nLength += cb;
    m_pData[m_nLength] = '\0';
}

Vstr &Vstr::Assign(const char *psz)
{
    if (m_pData != nullptr) {
        m_nLength = 0;
        m_pData[0] = '\0';
    }
    if (psz != nullptr) {
        AppendBytes(psz, static_cast<uint32_t>(strlen(psz)));
    }
    return *this;
}

Vstr &Vstr::Append(const char *psz)
{
    AppendBytes(psz, static_cast<uint32_t>(strlen(psz)));
    return *this;
}

Vstr &Vstr::Append(const Vstr &other)
{
    AppendBytes(other.m_pData, other.m_nLength);
    return *this;
}

void Vstr::Truncate(uint32_t ib)
{
    if (ib < m_nLength) {
        m_pData[ib] = '\0';
        m_nLength = static_cast<uint32_t>(strlen(m_pData));
        return;
    }
    ReportMisuse("OUT_OF_RANGE", nLineOutOfRange);
}
