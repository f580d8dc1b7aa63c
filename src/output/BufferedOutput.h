// A written form gathered in memory and handed to a sink in large pieces, counting what it
// wrote for the written-bytes budget, whose sink may change files where sheets part.
#ifndef CELLSIFT_OUTPUT_BUFFEREDOUTPUT_H
#define CELLSIFT_OUTPUT_BUFFEREDOUTPUT_H

#include <stddef.h>

#include <string>
#include <string_view>

#include "output/OutputSink.h"

// Pieces for a file: large writes, small enough to stay in the cache.
const size_t cbFilePiece = 1 << 16;

// Gathers the output and hands it to the sink in pieces of cbPiece bytes or a little more,
// each ending where an appended item ends.
class BufferedOutput : public WrittenMeter {
public:
    BufferedOutput(size_t cbPiece, PieceSink pfnPiece, void *pContext)
            : m_cbPiece(cbPiece), m_pfnPiece(pfnPiece), m_pContext(pContext)
    {
        Reserve();
    }
    ~BufferedOutput() { Flush(); }
    void Append(std::string_view s)
    {
        m_s.append(s.data(), s.size());
        MaybeFlush();
    }
    void Append(char ch) { m_s.push_back(ch); }
    // After appending to Buffer() directly.
    void MaybeFlush()
    {
        if (m_s.size() >= m_cbPiece) {
            Flush();
        }
    }
    void Flush();
    // Everything so far to its destination, before a message on standard error.
    void FlushDestination();
    std::string &Buffer() { return m_s; }
    size_t Written() const override { return m_cbFlushed + m_s.size(); }

private:
    // Room for a piece and the item that ends it, so that a piece is seldom copied.
    void Reserve() { m_s.reserve(m_cbPiece + m_cbPiece / 2); }

    size_t m_cbPiece;
    PieceSink m_pfnPiece;
    void *m_pContext;
    std::string m_s;
    size_t m_cbFlushed = 0;
};

// MaybeFlush of the BufferedOutput pOut, for those that take a function and its context.
inline void MaybeFlushBuffered(void *pOut)
{
    static_cast<BufferedOutput *>(pOut)->MaybeFlush();
}

// The PieceSink of a FILE *, pContext: pieces written, an empty one flushes the file.
void WritePiece(void *pContext, std::string *ps);

#endif
