#!/usr/bin/python3
"""Reference writer of encrypted ".m2p" files of every format version, written from the
documented file format and independent of the C++ code. Keys come from stretched_keys.py.

    m2p_reference.py key CIPHER KEYTYPE STRENGTH VERSION PASSWORD
        prints the key bytes the engine derives (hex), one line
    m2p_reference.py fixtures DIR
        writes the fixture files and DIR/manifest.txt
    m2p_reference.py --check DIR
        rewrites the fixtures in a scratch folder and compares them with DIR (exit 1 on a
        difference)
"""

import filecmp
import hashlib
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import stretched_keys  # noqa: E402

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes  # noqa: E402

try:  # newer releases keep Blowfish apart from the current algorithms
    from cryptography.hazmat.decrepit.ciphers.algorithms import Blowfish
except ImportError:
    import warnings
    warnings.filterwarnings("ignore", message="Blowfish has been deprecated")
    Blowfish = algorithms.Blowfish

AES, BLOWFISH = 1, 0
SHA256_KEY, MD5V_KEY, LEGACY_MD5_KEY = 2, 0, 1


def derive_key(key_type, strength, version, password):
    """Key bytes: the digest (SHA-256 area of 64 bytes, MD5 variant of 16), stretched from
    version 3 on, then the first `strength` bytes."""
    if key_type == SHA256_KEY:
        ctx, digest = stretched_keys.sha256_key(password)
        if version >= 3:
            digest = stretched_keys.sha256_stretch(ctx, digest)
        area = digest + bytes(32)
    else:
        digest = stretched_keys.md5v_key(password)
        if version >= 3:
            digest = stretched_keys.md5v_stretch(digest)
        area = digest
    if strength > len(area):
        raise ValueError("the key object defines only %d bytes" % len(area))
    return area[:strength]


def swap_halves(block):
    """The engine's Blowfish reads each four-byte half as a little-endian word."""
    return block[3::-1] + block[7:3:-1]


class BlockCipher:
    def __init__(self, cipher_type, key):
        if cipher_type == AES:
            self.size = 16
            self.ecb = Cipher(algorithms.AES(key[:32]), modes.ECB())
            self.twist = lambda b: b
        else:
            self.size = 8
            self.ecb = Cipher(Blowfish(key), modes.ECB())
            self.twist = swap_halves

    def encrypt(self, data):
        enc = self.ecb.encryptor()
        out = b""
        for i in range(0, len(data), self.size):
            out += self.twist(enc.update(self.twist(data[i:i + self.size])))
        return out


def xor(a, b):
    return bytes(x ^ y for x, y in zip(a, b))


def cbc_encrypt(cipher, iv, data):
    chain = iv[:cipher.size]
    out = bytearray()
    for i in range(0, len(data), cipher.size):
        chain = cipher.encrypt(xor(data[i:i + cipher.size], chain))
        out += chain
    return bytes(out)


def pad16(data):
    pad = (16 - len(data) % 16) % 16
    return data + bytes([pad]) * pad, pad


def encrypt_name(cipher, version, iv, name):
    prefixed = bytes([len(name) & 0xFF, (len(name) >> 8) & 0xFF]) + name
    padded, _ = pad16(prefixed)
    if version >= 3:
        return cbc_encrypt(cipher, iv, padded).hex().upper()
    return cipher.encrypt(padded).hex().upper()


def m2p_bytes(spec, plain, password, iv):
    """The file for a fixture spec. Crafted fixtures override single trailer fields:
    "stored_size", "iv_text", "keysize_field", "digest_bytes" (how many digest bytes to
    write)."""
    cipher_type, key_type, strength, version = spec["config"]
    key = derive_key(key_type, strength, version, password)
    cipher = BlockCipher(cipher_type, key)
    padded, pad = pad16(plain)
    body = cbc_encrypt(cipher, iv, padded) if version >= 3 else cipher.encrypt(padded)
    check = cipher.encrypt(key)[:spec.get("digest_bytes", strength)]
    digest = check if version < 3 else check.hex().upper().encode()
    hint = spec["hint"].encode()
    hint_field = hint.hex().upper().encode() if version >= 4 else hint
    fields = b",".join([
        b"", spec.get("iv_text", iv.hex().upper()).encode(), hint_field,
        encrypt_name(cipher, version, iv, spec["name"].encode()).encode(),
        b"%d" % spec.get("stored_size", len(plain)), b"%d" % pad, b"%d" % version,
        b"%d" % cipher_type, b"%d" % key_type, b"%d" % spec.get("keysize_field", strength),
        b"", b"0"])
    length = len(digest) + len(fields) + 10
    if length >= 10000:
        raise ValueError("the trailer does not fit its four-digit length")
    return body + digest + fields + b"%4d,<qvx>" % length


def plain_content(size):
    # Byte i is (31 * i + 7) mod 251, as the C++ tests' patternText.
    return bytes((31 * i + 7) % 251 for i in range(size))


PASSWORD = b"fixture password"
FIXTURES = [
    # Version 2: Blowfish, ECB, unstretched MD5-variant key, raw digest, plain hint.
    {"file": "v2_blowfish_ecb.m2p", "config": (BLOWFISH, MD5V_KEY, 16, 2),
     "name": "old notes.txt", "hint": "old hint", "size": 10005},
    {"file": "v3_aes.m2p", "config": (AES, SHA256_KEY, 32, 3),
     "name": "v3.txt", "hint": "plain hint", "size": 17},
    {"file": "v4_blowfish.m2p", "config": (BLOWFISH, MD5V_KEY, 16, 4),
     "name": "v4 report.doc", "hint": "hex hint", "size": 1000},
    {"file": "v4_blowfish_legacy_md5.m2p", "config": (BLOWFISH, LEGACY_MD5_KEY, 16, 4),
     "name": "legacy.bin", "hint": "", "size": 31},
    {"file": "v5_aes.m2p", "config": (AES, SHA256_KEY, 32, 5),
     "name": "empty.txt", "hint": "h", "size": 0},
    {"file": "v6_aes.m2p", "config": (AES, SHA256_KEY, 32, 6),
     "name": "a.txt", "hint": "hint", "size": 16},
    {"file": "v6_blowfish.m2p", "config": (BLOWFISH, SHA256_KEY, 32, 6),
     "name": "bf.dat", "hint": "", "size": 20000},
    {"file": "v6_aes_strength64.m2p", "config": (AES, SHA256_KEY, 64, 6),
     "name": "wide.key", "hint": "wide", "size": 33},
]

V6_AES = (AES, SHA256_KEY, 32, 6)
# Damaged or hostile trailers; not in the manifest, each test knows what it expects.
CRAFTED = [
    {"file": "crafted_name_escape.m2p", "config": V6_AES, "name": "../escaped.txt",
     "hint": "", "size": 20},
    {"file": "crafted_name_empty.m2p", "config": V6_AES, "name": "", "hint": "", "size": 20},
    {"file": "crafted_name_dotdot.m2p", "config": V6_AES, "name": "..", "hint": "", "size": 20},
    {"file": "crafted_size_beyond.m2p", "config": V6_AES, "name": "big.txt", "hint": "",
     "size": 20, "stored_size": 10020},
    {"file": "crafted_iv_not_hex.m2p", "config": V6_AES, "name": "iv.txt", "hint": "",
     "size": 20, "iv_text": "00112233445566778899AABBCCDDEEXY"},
    {"file": "crafted_iv_short.m2p", "config": V6_AES, "name": "iv.txt", "hint": "",
     "size": 20, "iv_text": "00112233445566778899AABBCCDDEE"},
    {"file": "crafted_keysize_zero.m2p", "config": V6_AES, "name": "k.txt", "hint": "",
     "size": 20, "keysize_field": 0},
    {"file": "crafted_keysize_huge.m2p", "config": V6_AES, "name": "k.txt", "hint": "",
     "size": 20, "keysize_field": 4096},
    {"file": "crafted_digest_short.m2p", "config": V6_AES, "name": "k.txt", "hint": "",
     "size": 20, "digest_bytes": 31},
]


def fixture_iv(spec):
    # Fixed per fixture, so the files can be written again byte for byte.
    return hashlib.sha256(spec["file"].encode()).digest()[:16]


def usable_raw_digest(spec, password):
    """A raw digest (version 2) is read up to the first "," or zero byte, so the
    fixture only uses a password whose digest holds neither."""
    cipher_type, key_type, strength, version = spec["config"]
    key = derive_key(key_type, strength, version, password)
    check = BlockCipher(cipher_type, key).encrypt(key)
    return b"," not in check and b"\0" not in check


def write_fixtures(folder):
    os.makedirs(folder, exist_ok=True)
    lines = []
    for spec in FIXTURES + CRAFTED:
        if spec["config"][3] < 3 and not usable_raw_digest(spec, PASSWORD):
            raise ValueError("choose another fixture password for " + spec["file"])
        data = m2p_bytes(spec, plain_content(spec["size"]), PASSWORD, fixture_iv(spec))
        with open(os.path.join(folder, spec["file"]), "wb") as f:
            f.write(data)
        if spec in CRAFTED:
            continue
        cipher_type, key_type, strength, version = spec["config"]
        lines.append("%s %s %d %d %d %d %d %s %s" % (
            spec["file"], spec["name"].encode().hex(), spec["size"], version, cipher_type,
            key_type, strength, spec["hint"].encode().hex() or "-", PASSWORD.hex()))
    with open(os.path.join(folder, "manifest.txt"), "w") as f:
        f.write("# file name-hex size version cipher keytype strength hint-hex password-hex\n")
        f.write("\n".join(lines) + "\n")


def main(argv):
    if len(argv) == 7 and argv[1] == "key":
        cipher_type, key_type, strength, version = (int(v) for v in argv[2:6])
        del cipher_type  # the key does not depend on the cipher
        print(derive_key(key_type, strength, version, argv[6].encode()).hex())
        return 0
    if len(argv) == 3 and argv[1] == "fixtures":
        write_fixtures(argv[2])
        return 0
    if len(argv) == 3 and argv[1] == "--check":
        with tempfile.TemporaryDirectory() as scratch:
            write_fixtures(scratch)
            names = [s["file"] for s in FIXTURES + CRAFTED] + ["manifest.txt"]
            _, mismatch, errors = filecmp.cmpfiles(scratch, argv[2], names, shallow=False)
            if mismatch or errors:
                sys.stderr.write("fixtures differ: %s\n" % " ".join(mismatch + errors))
                return 1
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
