// The decryptor's front: finds and reads FILEPASS, tries the default password and then the
// user's in the forms each scheme takes, and only then makes the decrypted copy of the stream.
#include "decrypt/Decrypt.h"

#include <iconv.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "biff/ByteCursor.h"
#include "biff/RecordIterator.h"
#include "decrypt/DecryptScheme.h"
#include "unicode/Utf8Units.h"

const char szDefaultPassword[] = "VelvetSweatshop";

namespace {

enum : uint32_t {
    dwAlgRc4 = 0x6801,
    dwAlgAes128 = 0x660E,
    dwAlgAes192 = 0x660F,
    dwAlgAes256 = 0x6610,
    dwAlgSha1 = 0x8004,
    fCryptoApi = 0x04,
    fAes = 0x20,
};

const size_t cbCryptoApiFixed = 14;     // scheme, version, flags, header size
const size_t cbCryptoApiHeaderMin = 32; // the header without its provider's name
const size_t cbCryptoApiVerifier = 4 + cbSalt + 16 + 4 + 20;

std::string Hex(uint32_t dw)
{
    char sz[16];
    snprintf(sz, sizeof(sz), "0x%04X", dw);
    return sz;
}

bool Damaged(DecryptResult *pResult, const std::string &detail)
{
    pResult->status = DecryptStatus::Damaged;
    pResult->message = "encrypted, and its FILEPASS record is damaged: " + detail;
    return false;
}

bool Unknown(DecryptResult *pResult, const std::string &scheme)
{
    pResult->status = DecryptStatus::UnknownScheme;
    pResult->message = "encrypted with a scheme not read here: " + scheme;
    return false;
}

// The body after the scheme word and the version, both already read by the cursor.
bool ParseCryptoApi(ByteCursor body, FilePassInfo *pInfo, DecryptResult *pResult)
{
    size_t cb = body.Tell() + body.CbLeft();
    if (cb < cbCryptoApiFixed + cbCryptoApiHeaderMin + cbCryptoApiVerifier) {
        return Damaged(pResult, std::to_string(cb) + " bytes, too short for RC4 CryptoAPI");
    }
    body.Skip(4); // the header's flags again
    uint32_t cbHeader = body.Le32();
    if (cbHeader < cbCryptoApiHeaderMin ||
        static_cast<uint64_t>(cbHeader) + cbCryptoApiVerifier > body.CbLeft()) {
        return Damaged(pResult, "an encryption header of " + std::to_string(cbHeader) +
                                    " bytes in a record of " + std::to_string(cb));
    }
    ByteCursor header(body.Bytes(cbHeader), cbHeader);
    uint32_t dwFlags = header.Le32();
    header.Skip(4); // SizeExtra
    uint32_t dwAlg = header.Le32();
    uint32_t dwAlgHash = header.Le32();
    uint32_t cBitsKey = header.Le32();
    if (dwAlg == dwAlgAes128 || dwAlg == dwAlgAes192 || dwAlg == dwAlgAes256 ||
        (dwAlg == 0 && (dwFlags & fAes))) {
        return Unknown(pResult, "CryptoAPI with AES (algorithm " + Hex(dwAlg) + ")");
    }
    if (dwAlg != dwAlgRc4 && dwAlg != 0) {
        return Unknown(pResult, "CryptoAPI with algorithm " + Hex(dwAlg));
    }
    if (!(dwFlags & fCryptoApi)) {
        return Damaged(pResult,
                       "an RC4 CryptoAPI header whose flags " + Hex(dwFlags) + " do not say CryptoAPI");
    }
    if (dwAlgHash != dwAlgSha1 && dwAlgHash != 0) {
        return Unknown(pResult, "RC4 CryptoAPI with hash algorithm " + Hex(dwAlgHash));
    }
    if (cBitsKey == 0) {
        cBitsKey = 40;
    }
    if (cBitsKey < 40 || cBitsKey > 128 || cBitsKey % 8 != 0) {
        return Damaged(pResult, "a key of " + std::to_string(cBitsKey) + " bits");
    }
    uint32_t cbSaltGiven = body.Le32();
    const uint8_t *pbSalt = body.Bytes(cbSalt);
    const uint8_t *pbVerifier = body.Bytes(16);
    uint32_t cbHashGiven = body.Le32();
    const uint8_t *pbHash = body.Bytes(20);
    if (cbSaltGiven != cbSalt || cbHashGiven != 20 || body.FShort()) {
        return Damaged(pResult, "a salt of " + std::to_string(cbSaltGiven) +
                                    " bytes and a verifier hash of " + std::to_string(cbHashGiven));
    }
    pInfo->kind = CipherKind::Rc4CryptoApi;
    pInfo->cbKey = cBitsKey / 8;
    pInfo->cbVerifierHash = 20;
    memcpy(pInfo->rgbSalt, pbSalt, cbSalt);
    memcpy(pInfo->rgbEncryptedVerifier, pbVerifier, 16);
    memcpy(pInfo->rgbEncryptedVerifierHash, pbHash, 20);
    return true;
}

// UTF-16 units of a UTF-8 text; a sequence cut short comes out as what bits its bytes give.
// Bytes that start no UTF-8 sequence (a password file in Latin-1) are one character each.
std::u16string Utf16Of(const char *psz)
{
    size_t cb = strlen(psz);
    size_t cch = 0;
    uint32_t wMax = 0;
    if (!MeasureUtf8(psz, cb, &cch, &wMax)) {
        return std::u16string(reinterpret_cast<const unsigned char *>(psz),
                              reinterpret_cast<const unsigned char *>(psz) + cb);
    }
    std::vector<uint32_t> rgch(cch);
    Utf8ToUnits(psz, cb, cch, rgch.data());
    std::u16string s;
    for (uint32_t ch : rgch) {
        if (ch >= 0x10000) {
            s.push_back(static_cast<char16_t>(0xD800 + ((ch - 0x10000) >> 10)));
            s.push_back(static_cast<char16_t>(0xDC00 + (ch & 0x3FF)));
        } else {
            s.push_back(static_cast<char16_t>(ch));
        }
    }
    return s;
}

// The single-byte forms a password may have been turned into for XOR obfuscation: each
// unit's low byte unless it is zero, then its high byte; and the text in Windows-1252.
std::vector<std::string> XorPasswordForms(const char *psz, const std::u16string &units)
{
    std::vector<std::string> rgs(1);
    for (char16_t ch : units) {
        rgs[0].push_back(static_cast<char>((ch & 0xFF) ? (ch & 0xFF) : (ch >> 8)));
    }
    iconv_t cd = iconv_open("WINDOWS-1252", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return rgs;
    }
    std::string sIn(psz), sOut(sIn.size() + 1, '\0');
    char *pIn = &sIn[0], *pOut = &sOut[0];
    size_t cbIn = sIn.size(), cbOut = sOut.size();
    if (iconv(cd, &pIn, &cbIn, &pOut, &cbOut) != static_cast<size_t>(-1)) {
        sOut.resize(sOut.size() - cbOut);
        if (sOut != rgs[0]) {
            rgs.push_back(sOut);
        }
    }
    iconv_close(cd);
    return rgs;
}

// Fills the key's secrets when psz opens the workbook.
bool TryPassword(const char *psz, StreamKey *pKey)
{
    std::u16string units = Utf16Of(psz);
    const FilePassInfo &info = pKey->info;
    if (info.kind == CipherKind::Xor) {
        for (const std::string &form : XorPasswordForms(psz, units)) {
            if (XorPasswordKey(form) != info.wXorKey || XorPasswordVerifier(form) != info.wXorVerifier) {
                continue;
            }
            XorArray(form, pKey->rgbXor);
            return true;
        }
        return false;
    }
    DeriveRc4KeyBase(info.kind, units, info.rgbSalt, info.cbKey, &pKey->base);
    return Rc4VerifierMatches(info, pKey->base);
}

} // namespace

size_t CbPlainPrefix(uint16_t wType, size_t cbBody)
{
    switch (wType) {
    case rtBof2:
    case rtBof3:
    case rtBof4:
    case rtBof:
    case rtFilePass:
    case rtInterfaceHdr:
    case rtRrdHead:
    case rtUsrExcl:
    case rtFileLock:
    case rtRrdInfo: return cbBody;
    case rtBoundSheet: return cbBody < 4 ? cbBody : 4;
    default: return 0;
    }
}

bool ParseFilePass(const uint8_t *pb, size_t cb, bool fBiff8, FilePassInfo *pInfo, DecryptResult *pResult)
{
    ByteCursor body(pb, cb);
    if (!fBiff8) {
        pInfo->kind = CipherKind::Xor;
        pInfo->wXorKey = body.Le16();
        pInfo->wXorVerifier = body.Le16();
        return !body.FShort() ||
               Damaged(pResult, std::to_string(cb) + " bytes, too short for a key and verifier");
    }
    uint16_t wScheme = body.Le16();
    if (body.FShort()) {
        return Damaged(pResult, std::to_string(cb) + " bytes, too short to name a scheme");
    }
    if (wScheme == 0) {
        pInfo->kind = CipherKind::Xor;
        pInfo->wXorKey = body.Le16();
        pInfo->wXorVerifier = body.Le16();
        return !body.FShort() ||
               Damaged(pResult, std::to_string(cb) + " bytes, too short for XOR obfuscation");
    }
    if (wScheme != 1) {
        return Unknown(pResult, "encryption type " + Hex(wScheme));
    }
    uint16_t wMajor = body.Le16(), wMinor = body.Le16();
    if (body.FShort()) {
        return Damaged(pResult, std::to_string(cb) + " bytes, too short for an RC4 version");
    }
    if (wMajor >= 2 && wMajor <= 4 && wMinor == 2) {
        return ParseCryptoApi(body, pInfo, pResult);
    }
    if (wMajor != 1 || wMinor != 1) {
        return Unknown(pResult,
                       "RC4 encryption version " + std::to_string(wMajor) + "." + std::to_string(wMinor));
    }
    const uint8_t *pbSalt = body.Bytes(cbSalt);
    const uint8_t *pbVerifier = body.Bytes(16);
    const uint8_t *pbHash = body.Bytes(16);
    if (body.FShort()) {
        return Damaged(pResult, std::to_string(cb) + " bytes, too short for RC4");
    }
    pInfo->kind = CipherKind::Rc4;
    pInfo->cbVerifierHash = 16;
    memcpy(pInfo->rgbSalt, pbSalt, cbSalt);
    memcpy(pInfo->rgbEncryptedVerifier, pbVerifier, 16);
    memcpy(pInfo->rgbEncryptedVerifierHash, pbHash, 16);
    return true;
}

DecryptResult FindStreamKey(const uint8_t *pb, size_t cb, size_t ibFilePass, const char *pszPassword,
                            StreamKey *pKey)
{
    DecryptResult result;
    RecordIterator it(pb, ibFilePass, cb);
    BiffRecord filePass;
    if (!it.Next(&filePass)) {
        Damaged(&result, "it is cut off by the end of the stream");
        return result;
    }
    // Only a BIFF8 BOF (version 0x0600) announces the FILEPASS form that names its scheme.
    ByteCursor bof(pb, cb);
    uint16_t wBof = bof.Le16();
    bof.Skip(2);
    bool fBiff8 = wBof == rtBof && bof.Le16() == 0x0600;
    if (!ParseFilePass(pb + ibFilePass + 4, filePass.cbBody, fBiff8, &pKey->info, &result)) {
        return result;
    }
    pKey->ibStart = filePass.IbNext();
    bool fGiven = pszPassword && *pszPassword;
    if (TryPassword(szDefaultPassword, pKey) || (fGiven && TryPassword(pszPassword, pKey))) {
        return result;
    }
    result.status = fGiven ? DecryptStatus::WrongPassword : DecryptStatus::NeedsPassword;
    result.message =
        fGiven ? "encrypted: the password is wrong" : "encrypted: a password is needed (--password)";
    return result;
}

void DecryptStream(const StreamKey &key, const uint8_t *pbIn, uint8_t *pbOut, size_t cb)
{
    if (key.info.kind == CipherKind::Xor) {
        XorTransform(key.rgbXor, pbIn, pbOut, cb, key.ibStart, false);
    } else {
        Rc4Transform(key.base, pbIn, pbOut, cb, key.ibStart);
    }
}
