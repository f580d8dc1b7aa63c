// Test-only encryption of workbook streams of ours with a chosen password, in each scheme a
// FILEPASS record can name, with the decryptor's own key derivation and nettle's RC4.
#ifndef CELLSIFT_TESTS_WORKBOOK_ENCRYPTWORKBOOK_H
#define CELLSIFT_TESTS_WORKBOOK_ENCRYPTWORKBOOK_H

#include <stdint.h>

#include <string>
#include <vector>

enum class EncryptScheme {
    Xor,
    Rc4,
    CryptoApi40,
    CryptoApi128
};

// The schemes by the names the generator's command line takes: xor, rc4, cryptoapi40,
// cryptoapi128. False for any other name.
bool ParseEncryptScheme(const std::string &name, EncryptScheme *pScheme);

// The plain stream with a FILEPASS record for the scheme and password inserted after its first
// BOF and every BOUNDSHEET's sheet offset moved past it: what decrypting gives back. Salt and
// verifier come from seed, so the same arguments give the same bytes. Xor takes the stream's
// BIFF version (the older FILEPASS form before BIFF8); the RC4 schemes need BIFF8. Throws
// std::invalid_argument for a stream it cannot do that to, whatever its bytes.
std::vector<uint8_t> WithFilePass(const std::vector<uint8_t> &plain, EncryptScheme scheme,
                                  const std::string &passwordUtf8, uint32_t seed);

// The stream WithFilePass gives, encrypted.
std::vector<uint8_t> EncryptStream(const std::vector<uint8_t> &withFilePass, const std::string &passwordUtf8);

#endif
