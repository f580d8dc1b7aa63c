// Tests of the decryptor: hostile FILEPASS records, which stream bytes each scheme encrypts,
// and our workbooks encrypted by the generator in every scheme and decrypted back (the keys
// and keystreams against known values are DecryptKeysTest.cpp's).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <nettle/arcfour.h>

#include "EncryptWorkbook.h"
#include "decrypt/DecryptScheme.h"
#include "support/Biff.h"
#include "workbook/ReaderFixture.h"
#include "workbook/StreamDecrypt.h"
#include "workbook/Workbook.h"

namespace {

Bytes Bof8()
{
    return Cat({Le16(0x0809), Le16(16), Le16(0x0600), Le16(5), Le16(0), Le16(1997), Le32(0), Le32(0)});
}

// Decrypts, in place, a copy that ends where its heap block ends; *pPlain gets it only when
// the status is Ok.
DecryptResult DecryptAt(const Bytes &stream, size_t ibFilePass, const char *pszPassword,
                        WorkbookStream *pPlain)
{
    WorkbookStream copy;
    uint8_t *pb = copy.Allocate(stream.size());
    memcpy(pb, stream.data(), stream.size());
    StreamKey key;
    DecryptResult result = FindStreamKey(pb, stream.size(), ibFilePass, pszPassword, &key);
    if (result.status == DecryptStatus::Ok) {
        DecryptStream(key, pb, pb, stream.size());
        *pPlain = std::move(copy);
    }
    return result;
}

DecryptResult Decrypt(const Bytes &stream, const char *pszPassword, WorkbookStream *pPlain)
{
    size_t ibFilePass = 0;
    EXPECT_TRUE(FindFilePass(stream.data(), stream.size(), FilePassScope::Globals, &ibFilePass));
    return DecryptAt(stream, ibFilePass, pszPassword, pPlain);
}

Bytes CryptoApiBody(uint32_t cbHeader, uint32_t dwFlags, uint32_t dwAlg, uint32_t dwHash, uint32_t cBits,
                    uint32_t cbSaltField, size_t cbHeaderBytes)
{
    Bytes header = Cat({Le32(dwFlags), Le32(0), Le32(dwAlg), Le32(dwHash), Le32(cBits), Le32(1),
                        Le32(0x02860AB0), Le32(0), Utf16(std::string("provider") + '\0')});
    header.resize(cbHeaderBytes);
    return Cat({Le16(1), Le16(2), Le16(2), Le32(dwFlags), Le32(cbHeader), header, Le32(cbSaltField),
                Bytes(32), Le32(20), Bytes(20)});
}

// The numeric fields of the published example of an RC4 CryptoAPI encryption header (a
// 40-bit key, a nonzero reserved field that must be ignored), with a provider name of ours.
TEST(DecryptFilePass, PublishedCryptoApiHeaderExample)
{
    Bytes body = CryptoApiBody(32 + 18, 0x04, 0x6801, 0x8004, 0x28, 16, 32 + 18);
    FilePassInfo info;
    DecryptResult result;
    ASSERT_TRUE(ParseFilePass(body.data(), body.size(), true, &info, &result)) << result.message;
    EXPECT_EQ(info.kind, CipherKind::Rc4CryptoApi);
    EXPECT_EQ(info.cbKey, 5u);
    EXPECT_EQ(info.cbVerifierHash, 20u);
}

TEST(DecryptFilePass, HostileRecordsAreNamedNeverRead)
{
    const size_t cbStd = 32 + 18;
    static const struct {
        const char *pszCase;
        bool fBiff8;
        Bytes body;
        DecryptStatus status;
        const char *pszMessage;
    } rgCase[] = {
        {"empty", true, {}, DecryptStatus::Damaged, "0 bytes, too short to name a scheme"},
        {"short xor", true, Cat({Le16(0), Le16(1)}), DecryptStatus::Damaged, "too short for XOR"},
        {"short biff5", false, Bytes(3), DecryptStatus::Damaged, "3 bytes, too short"},
        {"scheme 2", true, Cat({Le16(2), Bytes(60)}), DecryptStatus::UnknownScheme, "encryption type 0x0002"},
        {"rc4 no version", true, Cat({Le16(1), Le16(1)}), DecryptStatus::Damaged, "RC4 version"},
        {"rc4 version 5.5", true, Cat({Le16(1), Le16(5), Le16(5), Bytes(48)}), DecryptStatus::UnknownScheme,
         "RC4 encryption version 5.5"},
        {"rc4 53 bytes", true, Cat({Le16(1), Le16(1), Le16(1), Bytes(47)}), DecryptStatus::Damaged,
         "53 bytes, too short for RC4"},
        {"cryptoapi short", true, Cat({Le16(1), Le16(2), Le16(2), Bytes(40)}), DecryptStatus::Damaged,
         "too short for RC4 CryptoAPI"},
        {"header size 0", true, CryptoApiBody(0, 4, 0x6801, 0x8004, 128, 16, cbStd), DecryptStatus::Damaged,
         "an encryption header of 0 bytes"},
        {"header size huge", true, CryptoApiBody(0xFFFFFFFF, 4, 0x6801, 0x8004, 128, 16, cbStd),
         DecryptStatus::Damaged, "an encryption header of 4294967295 bytes"},
        {"header past end", true, CryptoApiBody(cbStd + 1, 4, 0x6801, 0x8004, 128, 16, cbStd),
         DecryptStatus::Damaged, "an encryption header of 51 bytes"},
        {"41-bit key", true, CryptoApiBody(cbStd, 4, 0x6801, 0x8004, 41, 16, cbStd), DecryptStatus::Damaged,
         "a key of 41 bits"},
        {"256-bit key", true, CryptoApiBody(cbStd, 4, 0x6801, 0x8004, 256, 16, cbStd), DecryptStatus::Damaged,
         "a key of 256 bits"},
        {"32-bit key", true, CryptoApiBody(cbStd, 4, 0x6801, 0x8004, 32, 16, cbStd), DecryptStatus::Damaged,
         "a key of 32 bits"},
        {"salt of 8", true, CryptoApiBody(cbStd, 4, 0x6801, 0x8004, 128, 8, cbStd), DecryptStatus::Damaged,
         "a salt of 8 bytes"},
        {"aes", true, CryptoApiBody(cbStd, 0x24, 0x660E, 0x8004, 128, 16, cbStd),
         DecryptStatus::UnknownScheme, "CryptoAPI with AES (algorithm 0x660E)"},
        {"md5 hash", true, CryptoApiBody(cbStd, 4, 0x6801, 0x8003, 128, 16, cbStd),
         DecryptStatus::UnknownScheme, "hash algorithm 0x8003"},
        {"not cryptoapi", true, CryptoApiBody(cbStd, 0, 0x6801, 0x8004, 128, 16, cbStd),
         DecryptStatus::Damaged, "do not say CryptoAPI"},
    };
    for (const auto &c : rgCase) {
        // Each body is read from a copy that ends where its heap block ends.
        std::vector<uint8_t> exact(c.body.begin(), c.body.end());
        FilePassInfo info;
        DecryptResult result;
        EXPECT_FALSE(ParseFilePass(exact.data(), exact.size(), c.fBiff8, &info, &result)) << c.pszCase;
        EXPECT_EQ(result.status, c.status) << c.pszCase;
        EXPECT_NE(result.message.find(c.pszMessage), std::string::npos)
            << c.pszCase << ": " << result.message;
    }
}

TEST(DecryptFilePass, CutOffByTheStreamEnd)
{
    Bytes stream = Cat({Bof8(), Le16(0x002F), Le16(54), Le16(1), Le16(1), Le16(1)});
    size_t ibFilePass = 0;
    EXPECT_FALSE(FindFilePass(stream.data(), stream.size(), FilePassScope::Globals,
                              &ibFilePass)); // the reader reads on
    WorkbookStream plain;
    DecryptResult result = DecryptAt(stream, Bof8().size(), nullptr, &plain);
    EXPECT_EQ(result.status, DecryptStatus::Damaged);
    EXPECT_EQ(plain.cbData, 0u);
}

// A stream with records the format never encrypts, a BOUNDSHEET, a record across the first
// 1024-byte boundary and one cut off by the end of the stream.
Bytes PositionStream(EncryptScheme scheme)
{
    Bytes big(1500);
    for (size_t i = 0; i < big.size(); i++) {
        big[i] = static_cast<uint8_t>(i * 7);
    }
    Bytes plain =
        Cat({Bof8(), Rec(0x00E1, Le16(1200)), Rec(0x0085, Cat({Le32(0x1234), Le16(0), Ascii("\x02S1")})),
             Rec(0x0203, Bytes(14, 0x41)), Rec(0x0194, Bytes(3, 0x42)), Rec(0x1234, big),
             Rec(0x0809, Bytes(16, 0x43)), Le16(0x0204), Le16(40), Bytes(10, 0x44)});
    return WithFilePass(plain, scheme, "pw", 3);
}

// A stream long enough to be decrypted on two threads: records of every size up to the
// largest, so that record headers fall at every place of a block.
Bytes LongStream()
{
    Bytes records = Bof8();
    for (size_t i = 0; records.size() < 5 * 1024 * 1024; i++) {
        Bytes record = Rec(0x00FD, Bytes(i % 8300, static_cast<uint8_t>(i)));
        records.insert(records.end(), record.begin(), record.end());
    }
    return WithFilePass(records, EncryptScheme::Rc4, "pw", 5);
}

// Each byte checked against its own keystream position, computed here from the block keys.
TEST(DecryptPositions, Rc4KeystreamFollowsTheStreamPositionAndSkipsPlainBytes)
{
    static const struct {
        EncryptScheme scheme;
        bool fLong;
        size_t cEncrypted;
    } rgCase[] = {
        {EncryptScheme::Rc4, false, 1500 + 14 + 10 + 5}, // BOUNDSHEET keeps 4 of its 9 bytes
        {EncryptScheme::CryptoApi40, false, 1500 + 14 + 10 + 5},
        {EncryptScheme::Rc4, true, 0},
    };
    for (const auto &c : rgCase) {
        Bytes plain = c.fLong ? LongStream() : PositionStream(c.scheme);
        Bytes cipher = EncryptStream(plain, "pw");
        size_t ibFilePass = 0;
        ASSERT_TRUE(FindFilePass(plain.data(), plain.size(), FilePassScope::Globals, &ibFilePass));
        RecordIterator it(plain.data(), ibFilePass, plain.size());
        BiffRecord filePass;
        ASSERT_TRUE(it.Next(&filePass));
        size_t ibStart = filePass.IbNext();
        std::vector<bool> rgfPlain(plain.size(), true);
        ForEachRecordSpan(plain.data(), plain.size(), ibStart, [&](const RecordSpan &span) {
            for (size_t ib = span.ibData + span.cbPlain; ib < span.ibData + span.cbAvail; ib++) {
                rgfPlain[ib] = false;
            }
        });
        FilePassInfo info;
        DecryptResult result;
        ASSERT_TRUE(
            ParseFilePass(plain.data() + ibFilePass + 4, ibStart - ibFilePass - 4, true, &info, &result));
        Rc4KeyBase base;
        DeriveRc4KeyBase(info.kind, u"pw", info.rgbSalt, info.cbKey, &base);
        size_t cEncrypted = 0;
        for (uint32_t iBlock = 0; iBlock * cbEncryptionBlock < plain.size(); iBlock++) {
            uint8_t rgbKey[16];
            arcfour_ctx rc4;
            arcfour_set_key(&rc4, Rc4BlockKey(base, iBlock, rgbKey), rgbKey);
            Bytes keystream(cbEncryptionBlock);
            arcfour_crypt(&rc4, keystream.size(), keystream.data(), Bytes(cbEncryptionBlock).data());
            for (size_t i = 0; i < cbEncryptionBlock && iBlock * cbEncryptionBlock + i < plain.size(); i++) {
                size_t ib = iBlock * cbEncryptionBlock + i;
                uint8_t bExpected = rgfPlain[ib] ? plain[ib] : static_cast<uint8_t>(plain[ib] ^ keystream[i]);
                ASSERT_EQ(cipher[ib], bExpected) << "byte " << ib;
                cEncrypted += rgfPlain[ib] ? 0 : 1;
            }
        }
        if (!c.fLong) {
            EXPECT_EQ(cEncrypted, c.cEncrypted);
        }
        WorkbookStream back;
        ASSERT_EQ(Decrypt(cipher, "pw", &back).status, DecryptStatus::Ok);
        EXPECT_EQ(Bytes(back.pbData, back.pbData + back.cbData), plain);
        // The reader's way: the stream left where it lies, decrypted into a fresh copy (for the
        // long one, in huge pages and on two threads).
        WorkbookStream view;
        view.View(cipher.data(), cipher.size(), nullptr);
        WorkbookError error;
        ASSERT_TRUE(DecryptWorkbook(&view, "pw", &error)) << error.message;
        EXPECT_TRUE(view.fDecrypted);
        EXPECT_NE(view.pbData, cipher.data());
        EXPECT_EQ(Bytes(view.pbData, view.pbData + view.cbData), plain);
    }
}

TEST(DecryptPositions, XorIndexIsStreamPositionPlusRecordSize)
{
    Bytes plain = PositionStream(EncryptScheme::Xor);
    Bytes cipher = EncryptStream(plain, "pw");
    uint8_t rgbXor[16];
    XorArray("pw", rgbXor);
    // The NUMBER record's data: 14 bytes, each at its stream position.
    size_t ibNumber = 0;
    RecordIterator it(plain.data(), 0, plain.size());
    BiffRecord record;
    while (it.Next(&record)) {
        if (record.wType == rtNumber) {
            ibNumber = record.ib + 4;
        }
    }
    ASSERT_NE(ibNumber, 0u);
    for (size_t ib = ibNumber; ib < ibNumber + 14; ib++) {
        uint8_t bRotated = static_cast<uint8_t>((plain[ib] << 5) | (plain[ib] >> 3));
        EXPECT_EQ(cipher[ib], bRotated ^ rgbXor[(ib + 14) % 16]) << "byte " << ib;
    }
    WorkbookStream back;
    ASSERT_EQ(Decrypt(cipher, "pw", &back).status, DecryptStatus::Ok);
    EXPECT_EQ(Bytes(back.pbData, back.pbData + back.cbData), plain);
}

std::vector<std::string> DataWorkbooks()
{
    std::string src = CELLSIFT_SOURCE_DIR;
    return {src + "/tests/data/gnumeric-biff8.xls",
            src + "/tests/data/lo-mixed.xls",
            src + "/tests/data/lo-longstrings.xls",
            src + "/tests/data/xlwt-rich.xls",
            src + "/tests/data/gnumeric-biff7-ru.xls",
            src + "/tests/workbook/data/gen-70000-strings.xls",
            src + "/tests/workbook/data/gen-biff7-cp1251.xls",
            src + "/tests/workbook/data/gen-biff5-nocodepage.xls",
            src + "/tests/workbook/data/gen-edges.xls",
            src + "/tests/workbook/data/gen-comments.xls"};
}

// What the reader gives for a stream opened, bare, with a password.
std::vector<std::string> ReadWithPassword(const Bytes &stream, const char *pszPassword, WorkbookError *pError)
{
    WorkbookStream opened;
    Collector collector;
    if (OpenWorkbookView(stream.data(), stream.size(), &opened, pError, pszPassword) &&
        ReadWorkbook(opened, collector, pError)) {
        return collector.lines;
    }
    return {"error " + pError->message};
}

// Every scheme the workbook's version allows, with the default password, one of the user's
// and a non-ASCII one: the right password gives back the stream, and the reader the same
// workbook, item for item; no password or a wrong one give their errors and no text.
TEST(DecryptWorkbooks, EverySchemeRoundTripsOurWorkbooks)
{
    size_t cRoundTrips = 0;
    for (const std::string &path : DataWorkbooks()) {
        WorkbookStream stream;
        WorkbookError error;
        ASSERT_TRUE(OpenWorkbookFile(path.c_str(), &stream, &error)) << path << ": " << error.message;
        Bytes source(stream.pbData, stream.pbData + stream.cbData);
        std::vector<std::string> expected = ReadStream(source).lines;
        ByteCursor bof(source.data(), source.size());
        bof.Skip(4);
        bool fBiff8 = bof.Le16() == 0x0600;
        for (EncryptScheme scheme : {EncryptScheme::Xor, EncryptScheme::Rc4, EncryptScheme::CryptoApi40,
                                     EncryptScheme::CryptoApi128}) {
            if (!fBiff8 && scheme != EncryptScheme::Xor) {
                continue;
            }
            for (const char *pszPassword : {"VelvetSweatshop", "Secret-7", "p\u00e4ssw\u00f6rd"}) {
                Bytes withFilePass = WithFilePass(source, scheme, pszPassword, 11);
                Bytes cipher = EncryptStream(withFilePass, pszPassword);
                ASSERT_NE(cipher, withFilePass);
                bool fDefault = std::string(pszPassword) == "VelvetSweatshop";
                WorkbookStream plain;
                DecryptResult result = Decrypt(cipher, fDefault ? nullptr : pszPassword, &plain);
                ASSERT_EQ(result.status, DecryptStatus::Ok)
                    << path << " " << pszPassword << ": " << result.message;
                ASSERT_EQ(Bytes(plain.pbData, plain.pbData + plain.cbData), withFilePass) << path;
                EXPECT_EQ(fDefault ? ReadStream(cipher).lines : ReadWithPassword(cipher, pszPassword, &error),
                          expected)
                    << path << " " << pszPassword;
                cRoundTrips++;
                if (fDefault) {
                    continue;
                }
                WorkbookError noPassword, wrongPassword;
                EXPECT_EQ(ReadStream(cipher, &noPassword).lines,
                          std::vector<std::string>{"error encrypted: a password is needed (--password)"});
                EXPECT_EQ(ReadWithPassword(cipher, "Secret-8", &wrongPassword),
                          std::vector<std::string>{"error encrypted: the password is wrong"});
                for (const WorkbookError &e : {noPassword, wrongPassword}) {
                    EXPECT_EQ(e.kind, WorkbookErrorKind::Encrypted);
                    EXPECT_TRUE(e.fPasswordHelps);
                }
            }
        }
    }
    EXPECT_EQ(cRoundTrips, (7 * 4 + 3) * 3u);
}

// A password whose bytes are not UTF-8 (a password file written in Latin-1) is taken byte
// for byte as characters: it opens the workbook those characters encrypted, and is only
// wrong for another.
TEST(DecryptWorkbooks, PasswordBytesThatAreNotUtf8)
{
    WorkbookStream stream;
    WorkbookError error;
    std::string path = DataWorkbooks()[0];
    ASSERT_TRUE(OpenWorkbookFile(path.c_str(), &stream, &error)) << error.message;
    Bytes source(stream.pbData, stream.pbData + stream.cbData);
    for (EncryptScheme scheme : {EncryptScheme::Xor, EncryptScheme::Rc4, EncryptScheme::CryptoApi128}) {
        Bytes cipher = EncryptStream(WithFilePass(source, scheme, "\u00ff\u00c0x", 11), "\u00ff\u00c0x");
        EXPECT_EQ(ReadWithPassword(cipher, "\xff\xc0x", &error), ReadStream(source).lines);
        EXPECT_EQ(ReadWithPassword(cipher, "\xc1\xf8y", &error),
                  std::vector<std::string>{"error encrypted: the password is wrong"});
    }
}

// An unknown scheme is named, and no password would help.
TEST(DecryptWorkbooks, UnknownSchemeIsNamedByTheReader)
{
    Bytes stream = Cat({Bof8(), Rec(0x002F, Cat({Le16(1), Le16(9), Le16(9), Bytes(48)})), Rec(0x000A, {})});
    WorkbookError error;
    EXPECT_EQ(
        ReadStream(stream, &error).lines,
        std::vector<std::string>{"error encrypted with a scheme not read here: RC4 encryption version 9.9"});
    EXPECT_EQ(error.kind, WorkbookErrorKind::Encrypted);
    EXPECT_FALSE(error.fPasswordHelps);
}

} // namespace
