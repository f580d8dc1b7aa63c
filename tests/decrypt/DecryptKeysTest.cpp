// Known answers for the decryptor's keys: each block's RC4 and CryptoAPI key, and the XOR
// obfuscation key and verifier.
#include <gtest/gtest.h>

#include <string>

#include "decrypt/DecryptScheme.h"
#include "support/Biff.h"

namespace {

std::string HexOf(const uint8_t *pb, size_t cb)
{
    static const char szDigits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < cb; i++) {
        s += szDigits[pb[i] >> 4];
        s += szDigits[pb[i] & 15];
    }
    return s;
}

// The values tests/decrypt/crypt_vectors.py prints (hashlib for MD5 and SHA-1); RC4's keys
// are 128 bits, CryptoAPI's as long as the header says, a 40-bit one padded to 128.
TEST(DecryptKeys, BlockKeysMatchHashlib)
{
    static const struct {
        CipherKind kind;
        const char16_t *pwsz;
        size_t cBits;
        uint32_t iBlock;
        const char *pszKey;
    } rgCase[] = {
        {CipherKind::Rc4, u"VelvetSweatshop", 128, 0, "e0f0f3ab5b2c55a6fff6d99ae30691fb"},
        {CipherKind::Rc4, u"VelvetSweatshop", 128, 1, "cdb235c584cc3283c74f3970baac0043"},
        {CipherKind::Rc4, u"VelvetSweatshop", 128, 1000, "e8af6f9659c2d9d5098a477d990c72ff"},
        {CipherKind::Rc4, u"abc", 128, 1, "27a42c97d45d5d366d287a244bd2cccb"},
        {CipherKind::Rc4, u"p\u00e4ssw\u00f6rd", 128, 0, "c3a9cfc0aa646ad3a3f353ae2eea28e7"},
        {CipherKind::Rc4, u"p\u00e4ssw\u00f6rd", 128, 1000, "b48a21f98afe06189f7792a53c5c552e"},
        {CipherKind::Rc4CryptoApi, u"VelvetSweatshop", 40, 0, "ac2a7b17240000000000000000000000"},
        {CipherKind::Rc4CryptoApi, u"VelvetSweatshop", 40, 7, "edb9e041e50000000000000000000000"},
        {CipherKind::Rc4CryptoApi, u"VelvetSweatshop", 56, 7, "edb9e041e5d694"},
        {CipherKind::Rc4CryptoApi, u"VelvetSweatshop", 128, 0, "ac2a7b172474c79c0b1292e558dfd9b1"},
        {CipherKind::Rc4CryptoApi, u"abc", 40, 7, "9793c8d8950000000000000000000000"},
        {CipherKind::Rc4CryptoApi, u"abc", 128, 7, "9793c8d895cb8f63882e0685b37915ff"},
    };
    Bytes salt;
    for (uint8_t i = 0; i < 16; i++) {
        salt.push_back(i);
    }
    for (const auto &c : rgCase) {
        Rc4KeyBase base;
        DeriveRc4KeyBase(c.kind, c.pwsz, salt.data(), c.cBits / 8, &base);
        uint8_t rgbKey[16];
        size_t cbKey = Rc4BlockKey(base, c.iBlock, rgbKey);
        EXPECT_EQ(HexOf(rgbKey, cbKey), c.pszKey) << c.cBits << " bits, block " << c.iBlock;
    }
}

// 0xFEF1 for "abcdefghij" is the worked example of the published description of the Excel
// format's password hash; the other values come from crypt_vectors.py, which computes the key
// with a rotating register where the decryptor uses a table.
TEST(DecryptKeys, XorKeyAndVerifier)
{
    static const struct {
        const char *psz;
        uint16_t wKey, wVerifier;
    } rgCase[] = {
        {"VelvetSweatshop", 0xB359, 0x9A0A},
        {"abcdefghij", 0x4213, 0xFEF1},
        {"a", 0x9D77, 0xCE88},
        {"Xy7", 0xCF86, 0xCEA4},
        {"fifteen-chars!!", 0x957E, 0xAA9B},
        {"fifteen-chars!!and more", 0x957E, 0xAA9B}, // cut to 15
    };
    for (const auto &c : rgCase) {
        EXPECT_EQ(XorPasswordKey(c.psz), c.wKey) << c.psz;
        EXPECT_EQ(XorPasswordVerifier(c.psz), c.wVerifier) << c.psz;
    }
}

} // namespace
