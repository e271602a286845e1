#!/usr/bin/python3
"""A second, plain implementation of Crypt with its own pi (Stormer's formula, not tools/pi_tables.py's
Machin), so that faults in the generated tables show too. Reads lines "KEY IV DATA" (hex; "-" for empty)
and prints "CIPHERTEXT CHAIN" (hex) for each, once the shared skeleton has met published Blowfish vectors.
"""
import sys

MASK = 0xFFFFFFFF


def atan_inverse(x, one):
    total, power, n, sign = 0, one // x, 1, 1
    while power:
        total += sign * (power // n)
        power //= x * x
        n += 2
        sign = -sign
    return total


def pi_hex_words(count):
    bits = 32 * count + 64
    one = 1 << bits
    quarter = (44 * atan_inverse(57, one) + 7 * atan_inverse(239, one)
               - 12 * atan_inverse(682, one) + 24 * atan_inverse(12943, one))
    fraction = 4 * quarter - 3 * one
    hex_digits = f"{fraction >> 64:0{8 * count}x}"
    return [int(hex_digits[8 * i:8 * i + 8], 16) for i in range(count)]


WORDS = pi_hex_words(18 + 1024)
INIT_P = WORDS[:18]
INIT_S = [WORDS[18 + 256 * k:18 + 256 * (k + 1)] for k in range(4)]
assert INIT_P[0] == 0x243F6A88 and INIT_P[1] == 0x85A308D3 and INIT_S[0][0] == 0xD1310BA6


class Crypt:
    def __init__(self, key: bytes):
        self.p = list(INIT_P)
        self.s = [list(box) for box in INIT_S]
        self.mix_key(key)
        left = right = 0
        for i in range(0, 18, 2):
            left, right = self.p[i], self.p[i + 1] = self.encipher(left, right)
        for box in self.s:
            for j in range(0, 256, 2):
                left, right = box[j], box[j + 1] = self.encipher(left, right)

    def mix_key(self, key):
        key = key.split(b"\0")[0]
        if not key:  # an empty key mixes nothing in
            return
        cursor, wrapped = 0, False
        while not wrapped:
            for i in range(18):
                w = 0
                for _ in range(4):
                    w |= key[cursor]
                    cursor += 1
                    if cursor == len(key):
                        cursor, wrapped = 0, True
                    w = (w << 8) & MASK
                self.p[i] ^= w

    def f(self, x):
        s0, s1, s2, s3 = self.s
        return ((s3[x >> 24] + s2[(x >> 16) & 0xFF]) & MASK) ^ ((s1[(x >> 8) & 0xFF] + s0[x & 0xFF]) & MASK)

    def encipher(self, left, right):
        for i in range(16):
            left, right = right ^ self.f(left ^ self.p[i]), left ^ self.p[i]
        return right ^ self.p[17], left ^ self.p[16]

    def encrypt(self, data: bytes, chain):
        out = bytearray(data)
        for k in range(0, len(data) // 8 * 8, 8):
            chain = self.encipher(int.from_bytes(data[k:k + 4], "big") ^ chain[0],
                                  int.from_bytes(data[k + 4:k + 8], "big") ^ chain[1])
            out[k:k + 8] = chain[0].to_bytes(4, "big") + chain[1].to_bytes(4, "big")
        return bytes(out), chain


class PublishedBlowfish(Crypt):
    """The same skeleton with the published round function and key packing
    put back. Its agreement with published test vectors shows that rounds,
    key order, final exchange and expansion above are built right."""

    def mix_key(self, key):
        for i in range(18):
            self.p[i] ^= int.from_bytes(bytes(key[(4 * i + n) % len(key)] for n in range(4)), "big")

    def f(self, x):
        s0, s1, s2, s3 = self.s
        return ((((s0[x >> 24] + s1[(x >> 16) & 0xFF]) & MASK) ^ s2[(x >> 8) & 0xFF]) + s3[x & 0xFF]) & MASK


# Published Blowfish test vectors: key, plaintext, ciphertext.
for key, plain, cipher in [("0000000000000000", "0000000000000000", "4EF997456198DD78"),
                           ("FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"),
                           ("FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D")]:
    got, _ = PublishedBlowfish(bytes.fromhex(key)).encrypt(bytes.fromhex(plain), (0, 0))
    assert got == bytes.fromhex(cipher), f"published vector {key} fails: {got.hex()}"

for line in sys.stdin:
    key, iv, data = (b"" if field == "-" else bytes.fromhex(field) for field in line.split())
    cipher, chain = Crypt(key).encrypt(data, (int.from_bytes(iv[:4], "big"), int.from_bytes(iv[4:], "big")))
    print(cipher.hex() or "-", f"{chain[0]:08x}{chain[1]:08x}")
