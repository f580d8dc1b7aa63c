// XOR obfuscation: the 16-bit key and verifier a password gives, the 16-byte XOR array, and
// the transformation of each record's data with it.
#include "decrypt/DecryptScheme.h"

namespace {

const size_t cchXorPasswordMax = 15;

const uint8_t rgbPad[15] = {0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80,
                            0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};

// The key's starting value for each password length, 1 to 15.
const uint16_t rgwInitialCode[15] = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C, 0x0E10, 0xF1CE, 0x313E,
                                     0x1872, 0xE139, 0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};

// Seven values per character position, the last position's last.
const uint16_t rgwXorMatrix[105] = {
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7,
    0x9DCF, 0x2BBF, 0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4,
    0x1BA8, 0x3750, 0x6EA0, 0xDD40, 0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45,
    0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A, 0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC,
    0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0, 0xB861, 0x60E3, 0xC1C6, 0x93AD,
    0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10, 0xAA51, 0x4483,
    0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
    0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373,
    0x06E6, 0x0DCC, 0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4,
};

std::string Truncated(const std::string &password)
{
    return password.size() > cchXorPasswordMax ? password.substr(0, cchXorPasswordMax) : password;
}

uint8_t RotateRight(uint8_t b, int cBits)
{
    return static_cast<uint8_t>((b >> cBits) | (b << (8 - cBits)));
}

} // namespace

uint16_t XorPasswordVerifier(const std::string &passwordIn)
{
    std::string password = Truncated(passwordIn);
    uint16_t wVerifier = 0;
    // The length comes first and is folded in last.
    for (size_t i = password.size() + 1; i-- > 0;) {
        uint8_t b = i == 0 ? static_cast<uint8_t>(password.size()) : static_cast<uint8_t>(password[i - 1]);
        uint16_t wHigh = (wVerifier & 0x4000) ? 1 : 0;
        wVerifier = static_cast<uint16_t>((((wVerifier << 1) & 0x7FFF) | wHigh) ^ b);
    }
    return static_cast<uint16_t>(wVerifier ^ 0xCE4B);
}

uint16_t XorPasswordKey(const std::string &passwordIn)
{
    std::string password = Truncated(passwordIn);
    if (password.empty()) {
        return 0;
    }
    uint16_t wKey = rgwInitialCode[password.size() - 1];
    size_t iMatrix = 104;
    for (size_t i = password.size(); i-- > 0;) {
        uint8_t b = static_cast<uint8_t>(password[i]);
        for (int iBit = 0; iBit < 7; iBit++, b = static_cast<uint8_t>(b << 1), iMatrix--) {
            if (b & 0x40) {
                wKey ^= rgwXorMatrix[iMatrix];
            }
        }
    }
    return wKey;
}

// Password bytes, then the pad, each combined with the key's low byte at even places and its
// high byte at odd ones.
void XorArray(const std::string &passwordIn, uint8_t rgbXor[16])
{
    std::string password = Truncated(passwordIn);
    uint16_t wKey = XorPasswordKey(password);
    for (size_t i = 0; i < 16; i++) {
        uint8_t b =
            i < password.size() ? static_cast<uint8_t>(password[i]) : rgbPad[(i - password.size()) % 15];
        uint8_t bKey = static_cast<uint8_t>((i & 1) ? wKey >> 8 : wKey);
        rgbXor[i] = RotateRight(static_cast<uint8_t>(b ^ bKey), 1);
    }
}

void XorTransform(const uint8_t rgbXor[16], const uint8_t *pbIn, uint8_t *pbOut, size_t cb, size_t ibStart,
                  bool fEncrypt)
{
    auto transform = [&](const RecordSpan &span, size_t ib, size_t ibEnd) {
        for (; ib < ibEnd; ib++) {
            uint8_t bXor = rgbXor[(ib + span.cbRecord) & 15];
            pbOut[ib] = fEncrypt ? static_cast<uint8_t>(RotateRight(pbIn[ib], 3) ^ bXor)
                                 : RotateRight(static_cast<uint8_t>(pbIn[ib] ^ bXor), 5);
        }
    };
    ForEachEncryptedRun(pbIn, pbOut, cb, ibStart, 0, cb, transform);
}
