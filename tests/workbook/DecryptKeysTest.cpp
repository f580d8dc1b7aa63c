// Known answers for the decryptor's keys: each block's RC4 and CryptoAPI key, the keystreams
// made several blocks at a time, and the XOR obfuscation key and verifier.
#include <gtest/gtest.h>

#include <string>

#include <nettle/arcfour.h>

#include "support/Biff.h"
#include "workbook/DecryptScheme.h"

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

// The values tests/workbook/crypt_vectors.py prints (hashlib for MD5 and SHA-1); RC4's keys
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
    for (uint8_t i = 0; i < 16; i++)
        salt.push_back(i);
    for (const auto &c : rgCase) {
        Rc4KeyBase base;
        DeriveRc4KeyBase(c.kind, c.pwsz, salt.data(), c.cBits / 8, &base);
        uint8_t rgbKey[16];
        size_t cbKey = Rc4BlockKey(base, c.iBlock, rgbKey);
        EXPECT_EQ(HexOf(rgbKey, cbKey), c.pszKey) << c.cBits << " bits, block " << c.iBlock;
    }
}

// The lanes' keystreams against nettle's RC4, key by key, for key lengths that divide 256 and
// one that does not; the first lane's 40-bit key is the first of RFC 6229's test keys, whose
// keystream that document publishes at these offsets (its section 2).
TEST(DecryptKeys, Rc4KeystreamsMatchNettleAndPublishedRows)
{
    static const struct {
        size_t ib;
        const char *pszHex;
    } rgRow[] = {
        {0, "b2396305f03dc027ccc3524a0a1118a8"},    {16, "6982944f18fc82d589c403a47a0d0919"},
        {240, "28cb1132c96ce286421dcaadb8b69eae"},  {256, "1cfcf62b03eddb641d77dfcf7f8d8c93"},
        {496, "42b7d0cdd918a8a33dd51781c81f4041"},  {512, "6459844432a7da923cfb3eb4980661f6"},
        {752, "ec10327bde2beefd18f9277680457e22"},  {768, "eb62638d4f0ba1fe9fca20e05bf8ff2b"},
        {1008, "45129048e6a0ed0b56b490338f078da5"},
    };
    for (size_t cbKey : {5, 7, 16}) {
        uint8_t rgrgbKey[cRc4Lanes][16];
        const uint8_t *rgpbKey[cRc4Lanes];
        for (size_t iLane = 0; iLane < cRc4Lanes; iLane++) {
            for (size_t i = 0; i < cbKey; i++)
                rgrgbKey[iLane][i] = static_cast<uint8_t>(iLane == 0 ? i + 1 : iLane * 37 + i * 11);
            rgpbKey[iLane] = rgrgbKey[iLane];
        }
        Bytes out(cRc4Lanes * cbEncryptionBlock);
        Rc4Keystreams(rgpbKey, cbKey, out.data());
        for (size_t iLane = 0; iLane < cRc4Lanes; iLane++) {
            arcfour_ctx rc4;
            arcfour_set_key(&rc4, cbKey, rgrgbKey[iLane]);
            Bytes expected(cbEncryptionBlock);
            arcfour_crypt(&rc4, expected.size(), expected.data(), Bytes(cbEncryptionBlock).data());
            const uint8_t *pbLane = out.data() + iLane * cbEncryptionBlock;
            EXPECT_EQ(Bytes(pbLane, pbLane + cbEncryptionBlock), expected)
                << cbKey << "-byte keys, lane " << iLane;
        }
        for (size_t iRow = 0; cbKey == 5 && iRow < sizeof(rgRow) / sizeof(rgRow[0]); iRow++) {
            size_t ib = rgRow[iRow].ib;
            EXPECT_EQ(HexOf(out.data() + ib, 16), rgRow[iRow].pszHex) << "offset " << ib;
        }
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
