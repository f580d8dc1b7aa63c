// The decompressor against the format's published examples, its own containers cut at every
// byte, and containers built to reach outside a chunk or to multiply.
#include <gtest/gtest.h>

#include <string>

#include "support/VbaBuilder.h"
#include "vba/VbaDecompress.h"

namespace {

std::string Hex(std::initializer_list<int> rgb)
{
    return std::string(rgb.begin(), rgb.end());
}

VbaDecompressResult Decompress(const std::string &container, std::string *pOut, size_t cbMax = 1 << 20)
{
    // A block of exactly the container's size, so reading past it is caught.
    std::vector<uint8_t> rgb(container.begin(), container.end());
    pOut->clear();
    return VbaDecompress(rgb.data(), rgb.size(), cbMax, pOut);
}

const std::string sNormalText = "#aaabcdefaaaaghijaaaaaklaaamnopqaaaaaaaaaaaarstuvwxyzaaa";
const std::string sNormal = Hex({0x01, 0x2F, 0xB0, 0x00, 0x23, 0x61, 0x61, 0x61, 0x62, 0x63, 0x64, 0x65, 0x82,
                                 0x66, 0x00, 0x70, 0x61, 0x67, 0x68, 0x69, 0x6A, 0x01, 0x38, 0x08, 0x61, 0x6B,
                                 0x6C, 0x00, 0x20, 0x6D, 0x6E, 0x6F, 0x70, 0x06, 0x71, 0x02, 0x70, 0x04, 0x00,
                                 0x72, 0x73, 0x74, 0x75, 0x76, 0x10, 0x77, 0x78, 0x79, 0x7A, 0x00, 0x2C});

TEST(VbaDecompress, PublishedExamples)
{
    std::string out;
    EXPECT_EQ(Decompress(Hex({0x01, 0x19, 0xB0, 0x00, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66,
                              0x67, 0x68, 0x00, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
                              0x70, 0x00, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x2E}),
                         &out),
              VbaDecompressResult::Ok);
    EXPECT_EQ(out, "abcdefghijklmnopqrstuv.");
    EXPECT_EQ(Decompress(sNormal, &out), VbaDecompressResult::Ok);
    EXPECT_EQ(out, sNormalText);
    // A byte or zeros after the last chunk are padding.
    for (const std::string &padding : {std::string(1, '\x7F'), std::string(5, '\0')}) {
        EXPECT_EQ(Decompress(sNormal + padding, &out), VbaDecompressResult::Ok);
        EXPECT_EQ(out, sNormalText);
    }
}

// Compressed and stored chunks, cut after every byte: what is read is always
// the start of the text, never a byte from outside the container.
TEST(VbaDecompress, EveryPrefixGivesAPrefix)
{
    // Code that compresses, then a block of noise that is stored, then code again.
    std::string text;
    for (int i = 0; text.size() < 9000; i++) {
        text += "Sub Macro" + std::to_string(i) + "()\r\n    Range(\"A1\").Value = " + std::to_string(i * 7) +
                "\r\n";
    }
    text.resize(8192);
    uint32_t dwNoise = 12345;
    for (int i = 0; i < 4096; i++) {
        dwNoise = dwNoise * 1103515245 + 12345;
        text.push_back((char)(dwNoise >> 16));
    }
    text += text.substr(0, 3000);
    std::string made = VbaContainer(text);
    ASSERT_LT(made.size(), text.size() - 4096 / 2);      // copy tokens at work
    ASSERT_NE(made.find("\xFF\x3F"), std::string::npos); // and a stored chunk
    for (const auto &[container, whole] : {std::pair{made, text}, std::pair{sNormal, sNormalText}}) {
        std::string out;
        ASSERT_EQ(Decompress(container, &out), VbaDecompressResult::Ok);
        ASSERT_EQ(out, whole);
        for (size_t cb = 0; cb < container.size(); cb++) {
            Decompress(container.substr(0, cb), &out);
            ASSERT_LE(out.size(), whole.size()) << cb;
            ASSERT_EQ(out, whole.substr(0, out.size())) << cb;
        }
    }
}

TEST(VbaDecompress, DamageEndsTheContainerAndKeepsWhatCameBefore)
{
    std::string out;
    // No signature byte; a chunk header whose signature bits are not 3.
    EXPECT_EQ(Decompress(Hex({0x02, 0x19, 0xB0}), &out), VbaDecompressResult::Damaged);
    EXPECT_EQ(Decompress(Hex({0x01, 0x19, 0xA0, 0x00, 0x61}), &out), VbaDecompressResult::Damaged);
    // A literal, then a copy token reaching two bytes back from one byte into its chunk.
    EXPECT_EQ(Decompress(Hex({0x01, 0x03, 0xB0, 0x02, 0x61, 0x00, 0x10}), &out),
              VbaDecompressResult::Damaged);
    EXPECT_EQ(out, "a");
    // A second chunk may not copy from the first: its first token has nothing behind it.
    std::string first = VbaContainer(std::string(4096, 'x'));
    EXPECT_EQ(Decompress(first + Hex({0x02, 0xB0, 0x01, 0x00, 0x00}), &out), VbaDecompressResult::Damaged);
    EXPECT_EQ(out, std::string(4096, 'x'));
    // A copy token that would take its chunk past 4096 bytes.
    EXPECT_EQ(Decompress(Hex({0x01, 0x03, 0xB0, 0x02, 0x61, 0xFF, 0x0F}), &out),
              VbaDecompressResult::Damaged);
    EXPECT_EQ(out, "a");
}

// One byte and a copy token make a chunk of 4096 bytes: a container of such chunks stops at
// what the caller allows, exactly.
TEST(VbaDecompress, ABombStopsAtTheLimit)
{
    std::string chunk = Hex({0x03, 0xB0, 0x02, 0x61, 0xFC, 0x0F});
    std::string bomb(1, '\x01');
    for (int i = 0; i < 1000; i++) {
        bomb += chunk;
    }
    std::string out;
    EXPECT_EQ(Decompress(bomb, &out, 64 * bomb.size()), VbaDecompressResult::TooLarge);
    EXPECT_EQ(out.size(), 64 * bomb.size());
    EXPECT_EQ(out.find_first_not_of('a'), std::string::npos);
    EXPECT_EQ(Decompress(bomb, &out, 4096 * 1000), VbaDecompressResult::Ok);
    EXPECT_EQ(out.size(), 4096u * 1000);
}

} // namespace
