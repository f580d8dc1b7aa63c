// The three FILEPASS schemes below the decryptor's interface: the record's fields, the keys
// each derives from a password, and the transformation of the stream's bytes. The tests and
// the encrypted-workbook generator use these directly.
#ifndef CELLSIFT_DECRYPT_DECRYPTSCHEME_H
#define CELLSIFT_DECRYPT_DECRYPTSCHEME_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "biff/RecordIterator.h"
#include "decrypt/Decrypt.h"

enum class CipherKind {
    Xor,
    Rc4,
    Rc4CryptoApi
};

const size_t cbEncryptionBlock = 1024; // RC4 is re-keyed at each multiple of this in the stream
const size_t cbSalt = 16;

struct FilePassInfo {
    CipherKind kind = CipherKind::Xor;
    uint16_t wXorKey = 0;
    uint16_t wXorVerifier = 0;
    uint8_t rgbSalt[cbSalt] = {};
    uint8_t rgbEncryptedVerifier[16] = {};
    uint8_t rgbEncryptedVerifierHash[20] = {};
    size_t cbVerifierHash = 0; // 16 (MD5) for RC4, 20 (SHA-1) for CryptoAPI
    size_t cbKey = 16;         // CryptoAPI: the header's key length in bytes, 5 to 16
};

// Reads a FILEPASS body. fBiff8 selects the record's BIFF8 form (a scheme word first); the
// older form is the XOR key and verifier alone. False with *pResult filled for a body that
// is cut short, a key size no key can have, or a scheme not read here.
bool ParseFilePass(const uint8_t *pbBody, size_t cbBody, bool fBiff8, FilePassInfo *pInfo,
                   DecryptResult *pResult);

// How much of a record's data stays plain in an encrypted stream: all of BOF, FILEPASS and
// the other records the format never encrypts, BOUNDSHEET's sheet offset, else nothing.
size_t CbPlainPrefix(uint16_t wType, size_t cbBody);

// XOR obfuscation. The password is at most 15 single-byte characters (longer is cut).
uint16_t XorPasswordVerifier(const std::string &password);
uint16_t XorPasswordKey(const std::string &password);
void XorArray(const std::string &password, uint8_t rgbXor[16]);
// Writes the cb bytes at pbIn to pbOut (which may be pbIn), the record data after ibStart
// transformed; a byte's place in the XOR array is its stream position plus the size of its
// record, modulo 16.
void XorTransform(const uint8_t rgbXor[16], const uint8_t *pbIn, uint8_t *pbOut, size_t cb, size_t ibStart,
                  bool fEncrypt);

// RC4 and RC4 CryptoAPI: what a password and salt give once, from which each block's key
// comes. The password is UTF-16LE units.
struct Rc4KeyBase {
    CipherKind kind = CipherKind::Rc4;
    uint8_t rgbHash[20] = {}; // RC4: the first 5 bytes of the salted MD5; CryptoAPI: H0
    size_t cbKey = 16;
};
void DeriveRc4KeyBase(CipherKind kind, const std::u16string &password, const uint8_t *pbSalt, size_t cbKey,
                      Rc4KeyBase *pBase);
// The RC4 key of block iBlock, 16 bytes (a 40-bit CryptoAPI key is padded with zeros to 128
// bits); returns its length.
size_t Rc4BlockKey(const Rc4KeyBase &base, uint32_t iBlock, uint8_t rgbKey[16]);
bool Rc4VerifierMatches(const FilePassInfo &info, const Rc4KeyBase &base);
// Writes the cb bytes at pbIn to pbOut (which may be pbIn), the encrypted bytes of the records
// from ibStart on encrypted or decrypted (the same), each with the keystream at its stream
// position.
void Rc4Transform(const Rc4KeyBase &base, const uint8_t *pbIn, uint8_t *pbOut, size_t cb, size_t ibStart);

// What opens a stream: its scheme and the keys the password that opens it gives.
struct StreamKey {
    FilePassInfo info;
    uint8_t rgbXor[16] = {};
    Rc4KeyBase base;
    size_t ibStart = 0; // the first byte after FILEPASS
};

// Reads the FILEPASS record at ibFilePass of the cb bytes at pb and tries the default
// password, then pszPassword (UTF-8; null or empty when the user gave none); *pKey is
// filled when the status is Ok. Reads the bytes only.
DecryptResult FindStreamKey(const uint8_t *pb, size_t cb, size_t ibFilePass, const char *pszPassword,
                            StreamKey *pKey);

// Writes the cb bytes at pbIn, decrypted with key, to pbOut (which may be pbIn). The record
// layout stays, FILEPASS included.
void DecryptStream(const StreamKey &key, const uint8_t *pbIn, uint8_t *pbOut, size_t cb);

// One record after FILEPASS as the transformations see it: its data starts at ibData, cbAvail
// bytes of it are in the stream, cbRecord is the size its header gives, and the first cbPlain
// bytes (at most cbAvail) stay plain.
struct RecordSpan {
    size_t ibData;
    size_t cbAvail;
    size_t cbRecord;
    size_t cbPlain;
};

// Calls f(span) for each record from ibStart on whose header starts before ibStop. The headers
// are never encrypted, so this reads ciphertext and plaintext alike.
template <typename F>
void ForEachRecordSpan(const uint8_t *pb, size_t cb, size_t ibStart, F f, size_t ibStop = SIZE_MAX)
{
    RecordIterator it(pb, ibStart, cb);
    BiffRecord record;
    while (it.Next(&record, Overlong::Clamp) && record.ib < ibStop) {
        RecordSpan span;
        span.ibData = record.ib + 4;
        span.cbAvail = record.cbBody;
        span.cbRecord = record.cbDeclared;
        size_t cbPlain = CbPlainPrefix(record.wType, span.cbRecord);
        span.cbPlain = cbPlain < span.cbAvail ? cbPlain : span.cbAvail;
        f(span);
    }
}

// Calls f(span, ib, ibEnd) for each run of encrypted bytes between ibLo and ibHi, in the
// records from ibStart on, and copies the bytes between the runs from pbIn to pbOut: f writes
// the run's bytes to pbOut, so that every byte from ibLo to ibHi is written once, in order.
template <typename F>
void ForEachEncryptedRun(const uint8_t *pbIn, uint8_t *pbOut, size_t cb, size_t ibStart, size_t ibLo,
                         size_t ibHi, F f)
{
    size_t ibCopied = ibLo;
    auto copyTo = [&](size_t ib) {
        if (ib > ibCopied && pbIn != pbOut) {
            memcpy(pbOut + ibCopied, pbIn + ibCopied, ib - ibCopied);
        }
        ibCopied = ib > ibCopied ? ib : ibCopied;
    };
    ForEachRecordSpan(
        pbIn, cb, ibStart,
        [&](const RecordSpan &span) {
            size_t ib = span.ibData + span.cbPlain > ibLo ? span.ibData + span.cbPlain : ibLo;
            size_t ibEnd = span.ibData + span.cbAvail < ibHi ? span.ibData + span.cbAvail : ibHi;
            if (ib >= ibEnd) {
                return;
            }
            copyTo(ib);
            f(span, ib, ibEnd);
            ibCopied = ibEnd;
        },
        ibHi);
    copyTo(ibHi);
}

#endif
