// Test-only encryption of workbook streams: the FILEPASS record each scheme writes, the
// sheet offsets it moves, and the stream's bytes encrypted where the decryptor expects them.
#include "EncryptWorkbook.h"

#include <string.h>

#include <stdexcept>

#include <nettle/arcfour.h>
#include <nettle/md5.h>
#include <nettle/sha1.h>

#include "biff/RecordIterator.h"
#include "decrypt/DecryptScheme.h"
#include "support/Biff.h"

namespace {

std::u16string Units(const std::string &passwordUtf8)
{
    Bytes le = Utf16(passwordUtf8);
    std::u16string s;
    for (size_t i = 0; i + 1 < le.size(); i += 2) {
        s.push_back(static_cast<char16_t>(le[i] | (le[i + 1] << 8)));
    }
    return s;
}

// Writers turn a password into single bytes this way: each unit's low byte unless zero.
std::string XorBytes(const std::string &passwordUtf8)
{
    std::string s;
    for (char16_t ch : Units(passwordUtf8)) {
        s.push_back(static_cast<char>((ch & 0xFF) ? (ch & 0xFF) : (ch >> 8)));
    }
    return s;
}

Bytes Pseudorandom(uint32_t *pSeed, size_t cb)
{
    Bytes out;
    for (size_t i = 0; i < cb; i++) {
        *pSeed = *pSeed * 1103515245u + 12345u;
        out.push_back(static_cast<uint8_t>(*pSeed >> 16));
    }
    return out;
}

// Salt, and the verifier and its hash encrypted with block 0's key.
Bytes SaltAndVerifier(CipherKind kind, size_t cbKey, const std::string &passwordUtf8, uint32_t seed,
                      bool fCryptoApi)
{
    Bytes salt = Pseudorandom(&seed, cbSalt);
    Bytes verifier = Pseudorandom(&seed, 16);
    uint8_t rgbHash[20];
    size_t cbHash = fCryptoApi ? 20 : 16;
    if (fCryptoApi) {
        sha1_ctx sha;
        sha1_init(&sha);
        sha1_update(&sha, verifier.size(), verifier.data());
        sha1_digest(&sha, 20, rgbHash);
    } else {
        md5_ctx md5;
        md5_init(&md5);
        md5_update(&md5, verifier.size(), verifier.data());
        md5_digest(&md5, 16, rgbHash);
    }
    Rc4KeyBase base;
    DeriveRc4KeyBase(kind, Units(passwordUtf8), salt.data(), cbKey, &base);
    uint8_t rgbKey[16];
    arcfour_ctx rc4;
    arcfour_set_key(&rc4, Rc4BlockKey(base, 0, rgbKey), rgbKey);
    Bytes encVerifier(16), encHash(cbHash);
    arcfour_crypt(&rc4, 16, encVerifier.data(), verifier.data());
    arcfour_crypt(&rc4, cbHash, encHash.data(), rgbHash);
    if (!fCryptoApi) {
        return Cat({salt, encVerifier, encHash});
    }
    return Cat({Le32(cbSalt), salt, encVerifier, Le32(20), encHash});
}

Bytes FilePassBody(bool fBiff8, EncryptScheme scheme, const std::string &passwordUtf8, uint32_t seed)
{
    if (scheme == EncryptScheme::Xor) {
        std::string bytes = XorBytes(passwordUtf8);
        Bytes keys = Cat({Le16(XorPasswordKey(bytes)), Le16(XorPasswordVerifier(bytes))});
        return fBiff8 ? Cat({Le16(0), keys}) : keys;
    }
    if (!fBiff8) {
        throw std::invalid_argument("RC4 encryption needs a BIFF8 workbook");
    }
    if (scheme == EncryptScheme::Rc4) {
        return Cat(
            {Le16(1), Le16(1), Le16(1), SaltAndVerifier(CipherKind::Rc4, 16, passwordUtf8, seed, false)});
    }
    uint32_t cBits = scheme == EncryptScheme::CryptoApi40 ? 40 : 128;
    Bytes provider = Utf16(std::string("cellsift test provider") + '\0');
    Bytes header = Cat(
        {Le32(0x04), Le32(0), Le32(0x6801), Le32(0x8004), Le32(cBits), Le32(1), Le32(0), Le32(0), provider});
    return Cat({Le16(1), Le16(4), Le16(2), Le32(0x04), Le32(static_cast<uint32_t>(header.size())), header,
                SaltAndVerifier(CipherKind::Rc4CryptoApi, cBits / 8, passwordUtf8, seed, true)});
}

void PutLe32(Bytes *pb, size_t ib, uint32_t dw)
{
    for (int i = 0; i < 4; i++) {
        (*pb)[ib + i] = static_cast<uint8_t>(dw >> (8 * i));
    }
}

// A BIFF8 BOF first (version 0x0600), which selects the FILEPASS form that names its scheme.
bool StartsBiff8(const uint8_t *pb, size_t cb)
{
    ByteCursor bof(pb, cb);
    uint16_t wType = bof.Le16();
    bof.Skip(2);
    return wType == rtBof && bof.Le16() == 0x0600;
}

} // namespace

bool ParseEncryptScheme(const std::string &name, EncryptScheme *pScheme)
{
    static const struct {
        const char *psz;
        EncryptScheme scheme;
    } rgName[] = {{"xor", EncryptScheme::Xor},
                  {"rc4", EncryptScheme::Rc4},
                  {"cryptoapi40", EncryptScheme::CryptoApi40},
                  {"cryptoapi128", EncryptScheme::CryptoApi128}};
    for (const auto &entry : rgName) {
        if (name == entry.psz) {
            *pScheme = entry.scheme;
            return true;
        }
    }
    return false;
}

std::vector<uint8_t> WithFilePass(const std::vector<uint8_t> &plain, EncryptScheme scheme,
                                  const std::string &passwordUtf8, uint32_t seed)
{
    size_t cb = plain.size();
    if (cb < 8) {
        throw std::invalid_argument("no BOF record to put FILEPASS after");
    }
    Bytes body = FilePassBody(StartsBiff8(plain.data(), cb), scheme, passwordUtf8, seed);
    RecordIterator first(plain.data(), 0, cb);
    BiffRecord bof;
    if (!first.Next(&bof)) {
        throw std::invalid_argument("the first record is cut off");
    }
    size_t ibInsert = bof.IbNext();
    Bytes filePass = Cat({Le16(0x002F), Le16(static_cast<uint16_t>(body.size())), body});
    Bytes out(plain.begin(), plain.begin() + ibInsert);
    out.insert(out.end(), filePass.begin(), filePass.end());
    out.insert(out.end(), plain.begin() + ibInsert, plain.end());
    // Each sheet's offset in BOUNDSHEET moves by the inserted record.
    RecordIterator it(out.data(), 0, out.size());
    BiffRecord record;
    while (it.Next(&record, Overlong::Clamp)) {
        ByteCursor sheet = record.Body(out.data());
        uint32_t ibSheet = sheet.Le32();
        if (record.wType == rtBoundSheet && !sheet.FShort()) {
            PutLe32(&out, record.ib + 4, ibSheet + static_cast<uint32_t>(filePass.size()));
        }
    }
    return out;
}

std::vector<uint8_t> EncryptStream(const std::vector<uint8_t> &withFilePass, const std::string &passwordUtf8)
{
    const uint8_t *pb = withFilePass.data();
    size_t cb = withFilePass.size();
    size_t ibFilePass = 0;
    if (!FindFilePass(pb, cb, FilePassScope::Globals, &ibFilePass)) {
        throw std::invalid_argument("no FILEPASS record");
    }
    RecordIterator it(pb, ibFilePass, cb);
    BiffRecord filePass;
    if (!it.Next(&filePass)) {
        throw std::invalid_argument("FILEPASS is cut off");
    }
    FilePassInfo info;
    DecryptResult result;
    if (!ParseFilePass(pb + ibFilePass + 4, filePass.cbBody, StartsBiff8(pb, cb), &info, &result)) {
        throw std::invalid_argument(result.message);
    }
    size_t ibStart = filePass.IbNext();
    Bytes out(cb);
    if (info.kind == CipherKind::Xor) {
        uint8_t rgbXor[16];
        XorArray(XorBytes(passwordUtf8), rgbXor);
        XorTransform(rgbXor, pb, out.data(), cb, ibStart, true);
        return out;
    }
    Rc4KeyBase base;
    DeriveRc4KeyBase(info.kind, Units(passwordUtf8), info.rgbSalt, info.cbKey, &base);
    Rc4Transform(base, pb, out.data(), cb, ibStart);
    return out;
}
