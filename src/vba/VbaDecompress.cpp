// Decompression of a VBA container: chunks of at most 4096 bytes, each a run of flag bytes
// whose bits say whether a literal byte or a copy token (offset, length) follows.
#include "vba/VbaDecompress.h"

#include "biff/ByteCursor.h"

namespace {

const size_t cbChunkMax = 4096;

// How many of a copy token's 16 bits are its offset: enough to reach back to the chunk's
// start from cbDone bytes into it, and at least 4.
unsigned OffsetBits(size_t cbDone)
{
    unsigned nBits = 4;
    while (((size_t)1 << nBits) < cbDone) {
        nBits++;
    }
    return nBits;
}

// One compressed chunk's body into *ps, starting a new decompressed chunk; false when a token
// reaches before the chunk or past its 4096 bytes.
bool DecompressChunk(ByteCursor body, size_t cbMax, std::string *ps, bool *pfFull)
{
    size_t ibChunk = ps->size();
    while (body.CbLeft() > 0) {
        uint8_t bFlags = body.U8();
        for (int iBit = 0; iBit < 8 && body.CbLeft() > 0; iBit++) {
            size_t cbDone = ps->size() - ibChunk;
            if ((bFlags >> iBit & 1) == 0) {
                if (ps->size() >= cbMax) {
                    *pfFull = true;
                    return true;
                }
                if (cbDone >= cbChunkMax) {
                    return false;
                }
                ps->push_back((char)body.U8());
                continue;
            }
            if (body.CbLeft() < 2) {
                return false;
            }
            uint16_t wToken = body.Le16();
            unsigned nLengthBits = 16 - OffsetBits(cbDone);
            size_t cbCopy = (wToken & (0xFFFFu >> (16 - nLengthBits))) + 3;
            size_t cbBack = (wToken >> nLengthBits) + 1;
            if (cbBack > cbDone || cbDone + cbCopy > cbChunkMax) {
                return false;
            }
            if (cbCopy > cbMax - ps->size()) {
                cbCopy = cbMax - ps->size();
                *pfFull = true;
            }
            // The source may overlap what this copy writes: a run repeats its last bytes.
            size_t ibFrom = ps->size() - cbBack;
            for (size_t i = 0; i < cbCopy; i++) {
                ps->push_back((*ps)[ibFrom + i]);
            }
            if (*pfFull) {
                return true;
            }
        }
    }
    return true;
}

} // namespace

VbaDecompressResult VbaDecompress(const uint8_t *pb, size_t cb, size_t cbMax, std::string *ps)
{
    ByteCursor cursor(pb, cb);
    if (cursor.U8() != 1) {
        return VbaDecompressResult::Damaged;
    }
    cbMax += ps->size();
    // A writer may leave a byte, or zeros, after the last chunk: padding, not damage.
    while (cursor.CbLeft() >= 2) {
        size_t ibHeader = cursor.Tell();
        uint16_t wHeader = cursor.Le16();
        if ((wHeader >> 12 & 7) != 3) {
            ByteCursor rest(pb + ibHeader, cb - ibHeader);
            while (rest.CbLeft() > 0) {
                if (rest.U8() != 0) {
                    return VbaDecompressResult::Damaged;
                }
            }
            return VbaDecompressResult::Ok;
        }
        // The size counts the header; a last chunk cut short keeps what it holds.
        size_t cbBody = (size_t)(wHeader & 0x0FFF) + 1;
        if (cbBody > cursor.CbLeft()) {
            cbBody = cursor.CbLeft();
        }
        const uint8_t *pbBody = cursor.Bytes(cbBody);
        bool fFull = false;
        if ((wHeader & 0x8000) == 0) {
            // Stored: the bytes as they are.
            size_t cbRoom = cbMax - ps->size();
            fFull = cbBody > cbRoom;
            ps->append(reinterpret_cast<const char *>(pbBody), fFull ? cbRoom : cbBody);
        } else if (!DecompressChunk(ByteCursor(pbBody, cbBody), cbMax, ps, &fFull)) {
            return VbaDecompressResult::Damaged;
        }
        if (fFull) {
            return VbaDecompressResult::TooLarge;
        }
    }
    return VbaDecompressResult::Ok;
}
