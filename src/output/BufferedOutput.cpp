// Handing the buffered output on: a piece to the sink, and the sink that writes to a file.
// Pieces are rare next to the items appended, so none of this needs to be inline.
#include "output/BufferedOutput.h"

#include <stdio.h>

void BufferedOutput::Flush()
{
    if (m_s.empty()) {
        return;
    }
    m_cbFlushed += m_s.size();
    m_pfnPiece(m_pContext, &m_s);
    m_s.clear();
    Reserve();
}

void BufferedOutput::FlushDestination()
{
    Flush();
    m_pfnPiece(m_pContext, &m_s);
}

void WritePiece(void *pContext, std::string *ps)
{
    FILE *pf = static_cast<FILE *>(pContext);
    if (ps->empty()) {
        fflush(pf);
    } else {
        fwrite(ps->data(), 1, ps->size(), pf);
    }
}
