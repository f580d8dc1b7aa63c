#!/usr/bin/python3
"""Cross-check values for the decryptor's known-answer tests (DecryptTest.cpp), where the
format's documentation publishes none: the RC4 and RC4 CryptoAPI keys from Python's hashlib,
and the XOR key and verifier by the older, bit-by-bit description of the same algorithms
(a rotating 16-bit register rather than the table the decryptor uses). Prints the C++ rows;
the test holds them frozen. Standard library only."""
import hashlib

SALT = bytes(range(16))


def rc4_key(password, salt, block):
    h0 = hashlib.md5(password.encode("utf-16-le")).digest()
    h1 = hashlib.md5((h0[:5] + salt) * 16).digest()
    return hashlib.md5(h1[:5] + block.to_bytes(4, "little")).digest()


def cryptoapi_key(password, salt, block, bits):
    h0 = hashlib.sha1(salt + password.encode("utf-16-le")).digest()
    hfinal = hashlib.sha1(h0 + block.to_bytes(4, "little")).digest()
    key = hfinal[: bits // 8]
    return key + bytes(11) if bits == 40 else key


def rotl16(w):
    return ((w << 1) | (w >> 15)) & 0xFFFF


def xor_key(password):
    key, base, final = 0, 0x8000, 0xFFFF
    for ch in reversed(password.encode("latin-1")):
        ch &= 0x7F
        for bit in range(8):
            base = rotl16(base)
            if base & 1:
                base ^= 0x1020
            final = rotl16(final)
            if final & 1:
                final ^= 0x1020
            if ch >> bit & 1:
                key ^= base
    return key ^ final


def xor_verifier(password):
    data = password.encode("latin-1")
    h = 0
    for ch in reversed(data):
        h ^= ch
        h = ((h << 1) | (h >> 14)) & 0x7FFF
    return h ^ len(data) ^ 0xCE4B


def c_bytes(b):
    return '"' + b.hex() + '"'


for pw in ["VelvetSweatshop", "abc", "pässwörd"]:
    for block in (0, 1, 1000):
        print('    {u"%s", %d, %s},' % (pw, block, c_bytes(rc4_key(pw, SALT, block))))
for pw in ["VelvetSweatshop", "abc"]:
    for bits in (40, 56, 128):
        for block in (0, 7):
            print('    {u"%s", %d, %d, %s},' % (pw, bits, block, c_bytes(cryptoapi_key(pw, SALT, block, bits))))
for pw in ["VelvetSweatshop", "abcdefghij", "a", "Xy7", "fifteen-chars!!"]:
    print('    {"%s", 0x%04X, 0x%04X},' % (pw, xor_key(pw), xor_verifier(pw)))
