#!/usr/bin/python3
"""Reference for the two password keys the engine stretches, written from their
documented definitions and independent of the C++ code.

Prints one line per password of the fixed table:
    <password hex or -> <md5-variant> <md5-variant stretched> <sha256> <sha256 stretched>
With --check FILE it compares its output with FILE and exits 1 when they differ.
"""

import multiprocessing
import struct
import sys

M64 = (1 << 64) - 1
ROUNDS = 10000


def signed64(x):
    x &= M64
    return x - (1 << 64) if x >> 63 else x


# ---- MD5-variant digest: MD5's steps on signed 64-bit words, nothing cut to 32 bits.

T = [0xD76AA478, 0xE8C7B756, 0x242070DB, 0xC1BDCEEE, 0xF57C0FAF, 0x4787C62A, 0xA8304613,
     0xFD469501, 0x698098D8, 0x8B44F7AF, 0xFFFF5BB1, 0x895CD7BE, 0x6B901122, 0xFD987193,
     0xA679438E, 0x49B40821, 0xF61E2562, 0xC040B340, 0x265E5A51, 0xE9B6C7AA, 0xD62F105D,
     0x02441453, 0xD8A1E681, 0xE7D3FBC8, 0x21E1CDE6, 0xC33707D6, 0xF4D50D87, 0x455A14ED,
     0xA9E3E905, 0xFCEFA3F8, 0x676F02D9, 0x8D2A4C8A, 0xFFFA3942, 0x8771F681, 0x6D9D6122,
     0xFDE5380C, 0xA4BEEA44, 0x4BDECFA9, 0xF6BB4B60, 0xBEBFBC70, 0x289B7EC6, 0xEAA127FA,
     0xD4EF3085, 0x04881D05, 0xD9D4D039, 0xE6DB99E5, 0x1FA27CF8, 0xC4AC5665, 0xF4292244,
     0x432AFF97, 0xAB9423A7, 0xFC93A039, 0x655B59C3, 0x8F0CCC92, 0xFFEFF47D, 0x85845DD1,
     0x6FA87E4F, 0xFE2CE6E0, 0xA3014314, 0x4E0811A1, 0xF7537E82, 0xBD3AF235, 0x2AD7D2BB,
     0xEB86D391]

# (function, shift amounts, message word for step j of the round)
ROUND_TABLE = [
    (lambda x, y, z: (x & y) | (~x & z), (7, 12, 17, 22), lambda j: j),
    (lambda x, y, z: (x & z) | (y & ~z), (5, 9, 14, 20), lambda j: (1 + 5 * j) % 16),
    (lambda x, y, z: x ^ y ^ z, (4, 11, 16, 23), lambda j: (5 + 3 * j) % 16),
    (lambda x, y, z: y ^ (x | ~z), (6, 10, 15, 21), lambda j: (7 * j) % 16),
]


def rotate_left(x, n):
    # Python's >> on a negative int copies the sign in, as the definition asks.
    return signed64((x << n) | (signed64(x) >> (32 - n)))


def md5v_transform(state, block):
    x = list(struct.unpack("<16I", block))
    a, b, c, d = state
    i = 0
    for func, shifts, word in ROUND_TABLE:
        for j in range(16):
            a = signed64(b + rotate_left(signed64(a + func(b, c, d) + x[word(j)] + T[i]),
                                         shifts[j % 4]))
            a, b, c, d = d, a, b, c
            i += 1
    state[0] = signed64(state[0] + a)
    state[1] = signed64(state[1] + b)
    state[2] = signed64(state[2] + c)
    state[3] = signed64(state[3] + d)


class Md5vContext:
    def __init__(self):
        self.state = [0, 0, 0, 0]
        self.count = [0, 0]
        self.buffer = bytearray(64)

    def init(self):
        self.count = [0, 0]
        self.state = [0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476]

    def update(self, data):
        n = len(data)
        index = (self.count[0] >> 3) & 63
        if self.count[0] < 0:
            self.count[1] = signed64(self.count[1] + 1)
        self.count[0] = signed64(self.count[0] + 8 * n)
        self.count[1] = signed64(self.count[1] + (n >> 29))
        part = 64 - index
        i = 0
        if n >= part:
            self.buffer[index:64] = data[:part]
            md5v_transform(self.state, bytes(self.buffer))
            i = part
            while i + 64 <= n:
                md5v_transform(self.state, data[i:i + 64])
                i += 64
            index = 0
        self.buffer[index:index + n - i] = data[i:]

    def final(self):
        bits = struct.pack("<II", self.count[0] & 0xFFFFFFFF, self.count[1] & 0xFFFFFFFF)
        index = (self.count[0] >> 3) & 63
        pad = 56 - index if index < 56 else 120 - index
        self.update(b"\x80" + bytes(pad - 1))
        self.update(bits)
        out = b"".join(struct.pack("<I", w & 0xFFFFFFFF) for w in self.state)
        self.state = [0, 0, 0, 0]
        self.count = [0, 0]
        self.buffer = bytearray(64)
        return out


def md5v_key(password):
    """The key object hashes the text before its first zero byte."""
    text = password.split(b"\0", 1)[0]
    ctx = Md5vContext()
    ctx.init()
    ctx.update(text)
    return ctx.final()


def md5v_stretch(digest):
    ctx = Md5vContext()
    ctx.init()  # once: later rounds start from the zeroed context
    for _ in range(ROUNDS):
        ctx.update(digest)
        digest = ctx.final()
    return digest


# ---- SHA-256 with the context kept across finishes.

K = [0x428A2F98, 0x71374491, 0xB5C0FBCF, 0xE9B5DBA5, 0x3956C25B, 0x59F111F1, 0x923F82A4,
     0xAB1C5ED5, 0xD807AA98, 0x12835B01, 0x243185BE, 0x550C7DC3, 0x72BE5D74, 0x80DEB1FE,
     0x9BDC06A7, 0xC19BF174, 0xE49B69C1, 0xEFBE4786, 0x0FC19DC6, 0x240CA1CC, 0x2DE92C6F,
     0x4A7484AA, 0x5CB0A9DC, 0x76F988DA, 0x983E5152, 0xA831C66D, 0xB00327C8, 0xBF597FC7,
     0xC6E00BF3, 0xD5A79147, 0x06CA6351, 0x14292967, 0x27B70A85, 0x2E1B2138, 0x4D2C6DFC,
     0x53380D13, 0x650A7354, 0x766A0ABB, 0x81C2C92E, 0x92722C85, 0xA2BFE8A1, 0xA81A664B,
     0xC24B8B70, 0xC76C51A3, 0xD192E819, 0xD6990624, 0xF40E3585, 0x106AA070, 0x19A4C116,
     0x1E376C08, 0x2748774C, 0x34B0BCB5, 0x391C0CB3, 0x4ED8AA4A, 0x5B9CCA4F, 0x682E6FF3,
     0x748F82EE, 0x78A5636F, 0x84C87814, 0x8CC70208, 0x90BEFFFA, 0xA4506CEB, 0xBEF9A3F7,
     0xC67178F2]
H0 = [0x6A09E667, 0xBB67AE85, 0x3C6EF372, 0xA54FF53A, 0x510E527F, 0x9B05688C, 0x1F83D9AB,
      0x5BE0CD19]
M32 = 0xFFFFFFFF


class Sha256Context:
    def __init__(self):
        self.h = list(H0)
        self.counter = 0  # bits, modulo 2^64
        self.buffer = bytearray(64)

    def compress(self, block):
        w = list(struct.unpack(">16I", block)) + [0] * 48
        for t in range(16, 64):
            x, y = w[t - 15], w[t - 2]
            s0 = ((x >> 7) | (x << 25)) ^ ((x >> 18) | (x << 14)) ^ (x >> 3)
            s1 = ((y >> 17) | (y << 15)) ^ ((y >> 19) | (y << 13)) ^ (y >> 10)
            w[t] = (w[t - 16] + s0 + w[t - 7] + s1) & M32
        a, b, c, d, e, f, g, h = self.h
        for kt, wt in zip(K, w):
            # Rotations written out; the high bits they leave are cut by the final masks.
            big_s1 = ((e >> 6) | (e << 26)) ^ ((e >> 11) | (e << 21)) ^ ((e >> 25) | (e << 7))
            big_s0 = ((a >> 2) | (a << 30)) ^ ((a >> 13) | (a << 19)) ^ ((a >> 22) | (a << 10))
            t1 = h + (big_s1 & M32) + ((e & f) ^ (~e & g)) + kt + wt
            t2 = (big_s0 & M32) + ((a & b) ^ (a & c) ^ (b & c))
            a, b, c, d, e, f, g, h = (t1 + t2) & M32, a, b, c, (d + t1) & M32, e, f, g
        self.h = [(x + y) & M32 for x, y in zip(self.h, (a, b, c, d, e, f, g, h))]
        # The rolling schedule stays in the buffer: W48..W63, little-endian words.
        self.buffer[:] = struct.pack("<16I", *w[48:64])

    def add_bits(self, n):
        self.counter = (self.counter + n) & M64

    def update(self, data):
        data = bytes(data)
        if not data:
            return
        used = (self.counter // 8) % 64
        if used:
            free = 64 - used
            if len(data) < free:
                self.buffer[used:used + len(data)] = data
                self.add_bits(8 * len(data))
                return
            self.buffer[used:64] = data[:free]
            self.add_bits(8 * free)
            self.compress(bytes(self.buffer))
            data = data[free:]
        while len(data) >= 64:
            self.compress(data[:64])
            self.add_bits(512)
            data = data[64:]
        if data:
            self.buffer[:len(data)] = data
            self.add_bits(8 * len(data))

    def end(self):
        used = (self.counter // 8) % 64
        if used == 0:
            self.buffer[0:56] = bytes(56)
            self.buffer[0] = 0x80
        else:
            self.buffer[used] = 0x80
            if used + 1 <= 56:
                self.buffer[used + 1:56] = bytes(56 - used - 1)
            else:
                self.buffer[used + 1:64] = bytes(64 - used - 1)
                self.compress(bytes(self.buffer))
                self.buffer[0:56] = bytes(56)
        self.counter = int.from_bytes(self.counter.to_bytes(8, "little"), "big")
        self.buffer[56:64] = self.counter.to_bytes(8, "little")
        self.compress(bytes(self.buffer))
        return struct.pack(">8I", *self.h)


def sha256_key(password):
    ctx = Sha256Context()
    ctx.update(password)
    return ctx, ctx.end()


def sha256_stretch(ctx, digest):
    for _ in range(ROUNDS):
        ctx.update(digest)
        digest = ctx.end()
    return digest


PASSWORDS = [
    b"",
    b"a",
    b"password",
    b"correct horse battery staple",
    b"pass\0word",
    "gr\u00fc\u00dfe \u2603".encode("utf-8"),
] + [bytes((0x61 + i % 26) for i in range(n)) for n in (55, 56, 63, 64, 65, 100)]


def row(pw):
    md5 = md5v_key(pw)
    ctx, sha = sha256_key(pw)
    return " ".join([pw.hex() or "-", md5.hex(), md5v_stretch(md5).hex(), sha.hex(),
                     sha256_stretch(ctx, sha).hex()])


def table():
    # Each row is independent; spread them over the processors.
    with multiprocessing.Pool() as pool:
        return "\n".join(pool.map(row, PASSWORDS)) + "\n"


def main():
    out = table()
    if len(sys.argv) == 3 and sys.argv[1] == "--check":
        with open(sys.argv[2]) as f:
            if f.read() != out:
                sys.stderr.write("the committed table differs from the reference output\n")
                return 1
        return 0
    sys.stdout.write(out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
