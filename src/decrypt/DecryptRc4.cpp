// RC4 encryption of a workbook stream: the MD5 key of the older scheme and the SHA-1 key of
// the CryptoAPI one, each block's key, the verifier check, and the keystream over the stream,
// in halves on two threads when it is long.
#include "decrypt/DecryptScheme.h"

#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <system_error>
#include <thread>

#include <nettle/arcfour.h>
#include <nettle/md5.h>
#include <nettle/sha1.h>

namespace {

const size_t cbTruncatedHash = 5; // the older scheme keeps 40 bits of each MD5

void PasswordBytes(const std::u16string &password, std::string *ps)
{
    ps->clear();
    for (char16_t ch : password) {
        ps->push_back(static_cast<char>(ch & 0xFF));
        ps->push_back(static_cast<char>(ch >> 8));
    }
}

void PutLe32(uint32_t dw, uint8_t rgb[4])
{
    for (int i = 0; i < 4; i++) {
        rgb[i] = static_cast<uint8_t>(dw >> (8 * i));
    }
}

} // namespace

void DeriveRc4KeyBase(CipherKind kind, const std::u16string &password, const uint8_t *pbSalt, size_t cbKey,
                      Rc4KeyBase *pBase)
{
    std::string sPassword;
    PasswordBytes(password, &sPassword);
    const uint8_t *pbPassword = reinterpret_cast<const uint8_t *>(sPassword.data());
    pBase->kind = kind;
    pBase->cbKey = cbKey;
    if (kind == CipherKind::Rc4CryptoApi) {
        sha1_ctx sha;
        sha1_init(&sha);
        sha1_update(&sha, cbSalt, pbSalt);
        sha1_update(&sha, sPassword.size(), pbPassword);
        sha1_digest(&sha, SHA1_DIGEST_SIZE, pBase->rgbHash);
        return;
    }
    uint8_t rgbH0[MD5_DIGEST_SIZE];
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, sPassword.size(), pbPassword);
    md5_digest(&md5, MD5_DIGEST_SIZE, rgbH0);
    // Sixteen copies of the truncated hash and the salt.
    for (int i = 0; i < 16; i++) {
        md5_update(&md5, cbTruncatedHash, rgbH0);
        md5_update(&md5, cbSalt, pbSalt);
    }
    uint8_t rgbH1[MD5_DIGEST_SIZE];
    md5_digest(&md5, MD5_DIGEST_SIZE, rgbH1);
    memcpy(pBase->rgbHash, rgbH1, cbTruncatedHash);
}

size_t Rc4BlockKey(const Rc4KeyBase &base, uint32_t iBlock, uint8_t rgbKey[16])
{
    uint8_t rgbBlock[4];
    PutLe32(iBlock, rgbBlock);
    if (base.kind == CipherKind::Rc4CryptoApi) {
        uint8_t rgbFinal[SHA1_DIGEST_SIZE];
        sha1_ctx sha;
        sha1_init(&sha);
        sha1_update(&sha, SHA1_DIGEST_SIZE, base.rgbHash);
        sha1_update(&sha, sizeof(rgbBlock), rgbBlock);
        sha1_digest(&sha, SHA1_DIGEST_SIZE, rgbFinal);
        // A 40-bit key is used as a 128-bit one whose other 88 bits are zero.
        memset(rgbKey, 0, 16);
        memcpy(rgbKey, rgbFinal, base.cbKey < 16 ? base.cbKey : 16);
        return base.cbKey == 5 ? 16 : base.cbKey;
    }
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, cbTruncatedHash, base.rgbHash);
    md5_update(&md5, sizeof(rgbBlock), rgbBlock);
    md5_digest(&md5, MD5_DIGEST_SIZE, rgbKey);
    return MD5_DIGEST_SIZE;
}

// The verifier and its hash are one RC4 stream under block 0's key; the password is right
// when the decrypted hash is the hash of the decrypted verifier.
bool Rc4VerifierMatches(const FilePassInfo &info, const Rc4KeyBase &base)
{
    uint8_t rgbKey[16];
    size_t cbKey = Rc4BlockKey(base, 0, rgbKey);
    arcfour_ctx rc4;
    arcfour_set_key(&rc4, cbKey, rgbKey);
    uint8_t rgbVerifier[16];
    uint8_t rgbHash[20];
    uint8_t rgbExpected[20];
    arcfour_crypt(&rc4, sizeof(rgbVerifier), rgbVerifier, info.rgbEncryptedVerifier);
    arcfour_crypt(&rc4, info.cbVerifierHash, rgbHash, info.rgbEncryptedVerifierHash);
    if (base.kind == CipherKind::Rc4CryptoApi) {
        sha1_ctx sha;
        sha1_init(&sha);
        sha1_update(&sha, sizeof(rgbVerifier), rgbVerifier);
        sha1_digest(&sha, SHA1_DIGEST_SIZE, rgbExpected);
    } else {
        md5_ctx md5;
        md5_init(&md5);
        md5_update(&md5, sizeof(rgbVerifier), rgbVerifier);
        md5_digest(&md5, MD5_DIGEST_SIZE, rgbExpected);
    }
    return memcmp(rgbHash, rgbExpected, info.cbVerifierHash) == 0;
}

namespace {

// Streams at least this long are decrypted on two threads, each taking whole blocks.
const size_t cbTwoThreadsMin = 4 * 1024 * 1024;

// Writes the bytes from ibFrom to ibTo to pbOut, the encrypted ones of the records from
// ibStart on with the keystream XORed in. Record headers are only read, from pbIn, so two
// threads may walk the same records.
void CryptRange(const Rc4KeyBase &base, const uint8_t *pbIn, uint8_t *pbOut, size_t cb, size_t ibStart,
                size_t ibFrom, size_t ibTo)
{
    arcfour_ctx rc4;
    uint8_t rgbKey[16];
    const uint8_t rgbZero[cbEncryptionBlock] = {};
    uint8_t rgbKeystream[cbEncryptionBlock];
    size_t iBlockReady = SIZE_MAX;
    auto crypt = [&](const RecordSpan &, size_t ib, size_t ibEnd) {
        while (ib < ibEnd) {
            size_t iBlock = ib / cbEncryptionBlock;
            if (iBlock != iBlockReady) {
                arcfour_set_key(&rc4, Rc4BlockKey(base, static_cast<uint32_t>(iBlock), rgbKey), rgbKey);
                arcfour_crypt(&rc4, cbEncryptionBlock, rgbKeystream, rgbZero);
                iBlockReady = iBlock;
            }
            size_t cbRun = std::min(ibEnd, (iBlock + 1) * cbEncryptionBlock) - ib;
            const uint8_t *pbKey = rgbKeystream + ib % cbEncryptionBlock;
            for (size_t i = 0; i < cbRun; i++) {
                pbOut[ib + i] = pbIn[ib + i] ^ pbKey[i];
            }
            ib += cbRun;
        }
    };
    ForEachEncryptedRun(pbIn, pbOut, cb, ibStart, ibFrom, ibTo, crypt);
}

} // namespace

// Each byte's keystream position is its stream position, plain bytes included; each block of
// 1024 has its own key, so a long stream is split between two threads at a block's start.
void Rc4Transform(const Rc4KeyBase &base, const uint8_t *pbIn, uint8_t *pbOut, size_t cb, size_t ibStart)
{
    size_t ibSplit = cb;
    if (cb > ibStart && cb - ibStart >= cbTwoThreadsMin) {
        size_t ibMid = ibStart + (cb - ibStart) / 2;
        ibSplit = ibMid - ibMid % cbEncryptionBlock;
    }
    std::thread second;
    if (ibSplit < cb) {
        try {
            second = std::thread(CryptRange, std::cref(base), pbIn, pbOut, cb, ibStart, ibSplit, cb);
        } catch (const std::system_error &) {
            ibSplit = cb; // no thread to be had: this one does it all
        }
    }
    CryptRange(base, pbIn, pbOut, cb, ibStart, 0, ibSplit);
    if (second.joinable()) {
        second.join();
    }
}
