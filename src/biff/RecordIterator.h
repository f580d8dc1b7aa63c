// The one framing of a workbook stream's records: each record's type and body between two
// offsets, a body that runs past the end stopped or clamped as the caller chooses; FILEPASS.
#ifndef CELLSIFT_BIFF_RECORDITERATOR_H
#define CELLSIFT_BIFF_RECORDITERATOR_H

#include <stddef.h>
#include <stdint.h>

#include "biff/ByteCursor.h"
#include "biff/RecordTypes.h"

struct BiffRecord {
    uint16_t wType;
    size_t ib;         // where its header starts in the stream
    size_t cbBody;     // its body follows the 4-byte header, within the limit
    size_t cbDeclared; // what its header says; more than cbBody for a clamped record
    ByteCursor Body(const uint8_t *pbStream) const { return ByteCursor(pbStream + ib + 4, cbBody); }
    size_t IbNext() const { return ib + 4 + cbDeclared; }
};

// What a record whose body runs past the limit is, as each call to Next chooses: the end of
// the walk (Stop: Next is false and FOverlong true, for a reader that then knows the stream is
// cut short or its offsets damaged), or the walk's last record, its body cut at the limit
// (Clamp: for a reader that keeps what the stream holds of it).
enum class Overlong {
    Stop,
    Clamp
};

// Records from ibStart up to ibLimit. Next is false at the limit, before a header cut off by
// it, after a clamped record, or at an overlong one when stopping.
class RecordIterator {
public:
    RecordIterator(const uint8_t *pbStream, size_t ibStart, size_t ibLimit)
            : m_pb(pbStream), m_ib(ibStart), m_ibLimit(ibLimit)
    {
        if (ibStart == 0) {
            s_cWalksFromStart++;
        }
    }

    bool Next(BiffRecord *pRecord, Overlong overlong = Overlong::Stop)
    {
        if (!FitsIn(m_ib, 4, m_ibLimit)) {
            return false;
        }
        ByteCursor header(m_pb + m_ib, 4);
        pRecord->wType = header.Le16();
        pRecord->cbDeclared = header.Le16();
        pRecord->cbBody = pRecord->cbDeclared;
        pRecord->ib = m_ib;
        size_t cbLeft = m_ibLimit - m_ib - 4;
        if (pRecord->cbBody > cbLeft) {
            if (overlong == Overlong::Stop) {
                m_fOverlong = true;
                return false;
            }
            pRecord->cbBody = cbLeft;
        }
        m_ib = pRecord->IbNext();
        return true;
    }
    // Where the next record would start: after the last one returned (past the limit after a
    // clamped one).
    size_t IbNext() const { return m_ib; }
    bool FOverlong() const { return m_fOverlong; }

    // How many walks began at a stream's first record, in this thread: the passes over the
    // globals, which the tests count.
    static size_t CWalksFromStart() { return s_cWalksFromStart; }

private:
    static inline thread_local size_t s_cWalksFromStart = 0;

    const uint8_t *m_pb;
    size_t m_ib;
    size_t m_ibLimit;
    bool m_fOverlong = false;
};

// Where FILEPASS is looked for: the globals, up to their EOF (only they can say the workbook
// is encrypted, and their end is found without walking the sheets' many small records), or
// the whole stream. Record headers are never encrypted, so the walk reads the stream as it is.
enum class FilePassScope {
    Globals,
    WholeStream
};

// Where the stream's FILEPASS record starts; false when the scope has none before a record
// cut off by the end of the stream.
inline bool FindFilePass(const uint8_t *pbStream, size_t cbStream, FilePassScope scope, size_t *pibFilePass)
{
    RecordIterator it(pbStream, 0, cbStream);
    BiffRecord record;
    while (it.Next(&record)) {
        if (record.wType == rtFilePass) {
            *pibFilePass = record.ib;
            return true;
        }
        if (record.wType == rtEof && scope == FilePassScope::Globals) {
            return false;
        }
    }
    return false;
}

// A password or an obfuscation leaves a FILEPASS record in the stream, and every record body
// after it ciphertext.
inline bool ContainsFilePass(const uint8_t *pbStream, size_t cbStream)
{
    size_t ibFilePass;
    return FindFilePass(pbStream, cbStream, FilePassScope::WholeStream, &ibFilePass);
}

#endif
