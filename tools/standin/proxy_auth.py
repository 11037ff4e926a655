"""Proxy credential checking for the stand-in's proxy front: Basic, and NTLM (version 1)
with its own MD4 and DES, so that the client's messages are verified by code that
shares nothing with the client's. Standard library only."""

import base64
import os
import struct

# --- MD4 (RFC 1320) ---------------------------------------------------------------


def _rotl(x, n):
    x &= 0xFFFFFFFF
    return ((x << n) | (x >> (32 - n))) & 0xFFFFFFFF


def md4(data):
    """The 16-byte MD4 digest of data (bytes)."""
    length_bits = (8 * len(data)) & 0xFFFFFFFFFFFFFFFF
    data = bytes(data) + b"\x80"
    data += b"\x00" * ((56 - len(data)) % 64)
    data += struct.pack("<Q", length_bits)
    a, b, c, d = 0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476
    for block in range(0, len(data), 64):
        x = struct.unpack("<16I", data[block:block + 64])
        aa, bb, cc, dd = a, b, c, d

        def r1(a, b, c, d, k, s):
            return _rotl(a + ((b & c) | (~b & d)) + x[k], s)

        def r2(a, b, c, d, k, s):
            return _rotl(a + ((b & c) | (b & d) | (c & d)) + x[k] + 0x5A827999, s)

        def r3(a, b, c, d, k, s):
            return _rotl(a + (b ^ c ^ d) + x[k] + 0x6ED9EBA1, s)

        for k in (0, 4, 8, 12):
            a = r1(a, b, c, d, k, 3)
            d = r1(d, a, b, c, k + 1, 7)
            c = r1(c, d, a, b, k + 2, 11)
            b = r1(b, c, d, a, k + 3, 19)
        for k in (0, 1, 2, 3):
            a = r2(a, b, c, d, k, 3)
            d = r2(d, a, b, c, k + 4, 5)
            c = r2(c, d, a, b, k + 8, 9)
            b = r2(b, c, d, a, k + 12, 13)
        for k in (0, 2, 1, 3):
            a = r3(a, b, c, d, k, 3)
            d = r3(d, a, b, c, k + 8, 9)
            c = r3(c, d, a, b, k + 4, 11)
            b = r3(b, c, d, a, k + 12, 15)
        a = (a + aa) & 0xFFFFFFFF
        b = (b + bb) & 0xFFFFFFFF
        c = (c + cc) & 0xFFFFFFFF
        d = (d + dd) & 0xFFFFFFFF
    return struct.pack("<4I", a, b, c, d)


# --- DES (FIPS 46), encryption of one block ---------------------------------------

_PC1 = [57, 49, 41, 33, 25, 17, 9, 1, 58, 50, 42, 34, 26, 18, 10, 2, 59, 51, 43, 35, 27, 19, 11, 3,
        60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7, 62, 54, 46, 38, 30, 22, 14, 6, 61, 53, 45, 37,
        29, 21, 13, 5, 28, 20, 12, 4]
_PC2 = [14, 17, 11, 24, 1, 5, 3, 28, 15, 6, 21, 10, 23, 19, 12, 4, 26, 8, 16, 7, 27, 20, 13, 2,
        41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32]
_ROTATIONS = [1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1]
_IP = [58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4, 62, 54, 46, 38, 30, 22, 14, 6,
       64, 56, 48, 40, 32, 24, 16, 8, 57, 49, 41, 33, 25, 17, 9, 1, 59, 51, 43, 35, 27, 19, 11, 3,
       61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7]
_IP_INV = [_IP.index(i) + 1 for i in range(1, 65)]
_EXPAND = [32, 1, 2, 3, 4, 5, 4, 5, 6, 7, 8, 9, 8, 9, 10, 11, 12, 13, 12, 13, 14, 15, 16, 17,
           16, 17, 18, 19, 20, 21, 20, 21, 22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1]
_PERM = [16, 7, 20, 21, 29, 12, 28, 17, 1, 15, 23, 26, 5, 18, 31, 10,
         2, 8, 24, 14, 32, 27, 3, 9, 19, 13, 30, 6, 22, 11, 4, 25]
_SBOXES = [
    "14 4 13 1 2 15 11 8 3 10 6 12 5 9 0 7 0 15 7 4 14 2 13 1 10 6 12 11 9 5 3 8 "
    "4 1 14 8 13 6 2 11 15 12 9 7 3 10 5 0 15 12 8 2 4 9 1 7 5 11 3 14 10 0 6 13",
    "15 1 8 14 6 11 3 4 9 7 2 13 12 0 5 10 3 13 4 7 15 2 8 14 12 0 1 10 6 9 11 5 "
    "0 14 7 11 10 4 13 1 5 8 12 6 9 3 2 15 13 8 10 1 3 15 4 2 11 6 7 12 0 5 14 9",
    "10 0 9 14 6 3 15 5 1 13 12 7 11 4 2 8 13 7 0 9 3 4 6 10 2 8 5 14 12 11 15 1 "
    "13 6 4 9 8 15 3 0 11 1 2 12 5 10 14 7 1 10 13 0 6 9 8 7 4 15 14 3 11 5 2 12",
    "7 13 14 3 0 6 9 10 1 2 8 5 11 12 4 15 13 8 11 5 6 15 0 3 4 7 2 12 1 10 14 9 "
    "10 6 9 0 12 11 7 13 15 1 3 14 5 2 8 4 3 15 0 6 10 1 13 8 9 4 5 11 12 7 2 14",
    "2 12 4 1 7 10 11 6 8 5 3 15 13 0 14 9 14 11 2 12 4 7 13 1 5 0 15 10 3 9 8 6 "
    "4 2 1 11 10 13 7 8 15 9 12 5 6 3 0 14 11 8 12 7 1 14 2 13 6 15 0 9 10 4 5 3",
    "12 1 10 15 9 2 6 8 0 13 3 4 14 7 5 11 10 15 4 2 7 12 9 5 6 1 13 14 0 11 3 8 "
    "9 14 15 5 2 8 12 3 7 0 4 10 1 13 11 6 4 3 2 12 9 5 15 10 11 14 1 7 6 0 8 13",
    "4 11 2 14 15 0 8 13 3 12 9 7 5 10 6 1 13 0 11 7 4 9 1 10 14 3 5 12 2 15 8 6 "
    "1 4 11 13 12 3 7 14 10 15 6 8 0 5 9 2 6 11 13 8 1 4 10 7 9 5 0 15 14 2 3 12",
    "13 2 8 4 6 15 11 1 10 9 3 14 5 0 12 7 1 15 13 8 10 3 7 4 12 5 6 11 0 14 9 2 "
    "7 11 4 1 9 12 14 2 0 6 10 13 15 3 5 8 2 1 14 7 4 10 8 13 15 12 9 0 3 5 6 11",
]
_SBOXES = [[int(v) for v in box.split()] for box in _SBOXES]


def _bits(data):
    return [(byte >> (7 - i)) & 1 for byte in data for i in range(8)]


def _from_bits(bits):
    return bytes(sum(bit << (7 - i) for i, bit in enumerate(bits[n:n + 8])) for n in range(0, len(bits), 8))


def des_encrypt(key, block):
    """One 8-byte block under an 8-byte key (parity bits ignored)."""
    key_bits = _bits(key)
    cd = [key_bits[i - 1] for i in _PC1]
    c, d = cd[:28], cd[28:]
    subkeys = []
    for shift in _ROTATIONS:
        c, d = c[shift:] + c[:shift], d[shift:] + d[:shift]
        joined = c + d
        subkeys.append([joined[i - 1] for i in _PC2])
    bits = _bits(block)
    bits = [bits[i - 1] for i in _IP]
    left, right = bits[:32], bits[32:]
    for subkey in subkeys:
        expanded = [right[i - 1] ^ k for i, k in zip(_EXPAND, subkey)]
        out = []
        for n, box in enumerate(_SBOXES):
            six = expanded[6 * n:6 * n + 6]
            row = six[0] * 2 + six[5]
            col = six[1] * 8 + six[2] * 4 + six[3] * 2 + six[4]
            value = box[row * 16 + col]
            out += [(value >> (3 - i)) & 1 for i in range(4)]
        f = [out[i - 1] for i in _PERM]
        left, right = right, [l ^ x for l, x in zip(left, f)]
    return _from_bits([(right + left)[i - 1] for i in _IP_INV])


# --- NTLM -------------------------------------------------------------------------

SIGNATURE = b"NTLMSSP\x00"


def _des_key(seven):
    """56 key bits spread over 8 bytes, 7 to a byte, the low (parity) bit left 0."""
    value = int.from_bytes(seven, "big")
    return bytes(((value >> (56 - 7 * (i + 1))) & 0x7F) << 1 for i in range(8))


def _response(hash16, challenge):
    keys = hash16 + b"\x00" * 5
    return b"".join(des_encrypt(_des_key(keys[i:i + 7]), challenge) for i in (0, 7, 14))


def lm_hash(password):
    # Only ASCII letters are upper-cased, as the client does: it has no code page.
    raw = password.encode("latin-1")[:14]
    pw = bytes(b - 32 if 97 <= b <= 122 else b for b in raw).ljust(14, b"\x00")
    return b"".join(des_encrypt(_des_key(half), b"KGS!@#$%") for half in (pw[:7], pw[7:]))


def nt_hash(password):
    return md4(password.encode("utf-16-le"))


def lm_response(password, challenge):
    return _response(lm_hash(password), challenge)


def nt_response(password, challenge):
    return _response(nt_hash(password), challenge)


def challenge_message(challenge, domain="", server="STANDIN"):
    """A type 2 message: 48-byte header, the target name (the domain), then target
    information naming the domain (2) and the server (1), ended by a type 0 entry."""
    target = domain.encode("utf-16-le")
    info = b""
    for kind, text in ((2, domain), (1, server)):
        value = text.encode("utf-16-le")
        info += struct.pack("<HH", kind, len(value)) + value
    info += struct.pack("<HH", 0, 0)
    flags = 0x00000001 | 0x00000200 | 0x00800000  # Unicode, NTLM, target info
    if domain:
        flags |= 0x00010000  # target type domain
    header = SIGNATURE + struct.pack("<I", 2)
    header += struct.pack("<HHI", len(target), len(target), 48)
    header += struct.pack("<I", flags) + challenge + b"\x00" * 8
    header += struct.pack("<HHI", len(info), len(info), 48 + len(target))
    return header + target + info


class BadMessage(Exception):
    pass


def _field(message, at):
    if len(message) < at + 8:
        raise BadMessage("security buffer at %d beyond the message" % at)
    length, _maximum, offset = struct.unpack_from("<HHI", message, at)
    if offset > len(message) or length > len(message) - offset:
        raise BadMessage("buffer at %d points outside the message" % at)
    return message[offset:offset + length]


def message_type(message):
    if len(message) < 12 or not message.startswith(SIGNATURE):
        return None
    return struct.unpack_from("<I", message, 8)[0]


def parse_authenticate(message):
    """The fields of a type 3 message as a dict; raises BadMessage."""
    if message_type(message) != 3 or len(message) < 64:
        raise BadMessage("not an authenticate message")
    flags = struct.unpack_from("<I", message, 60)[0]
    wide = flags & 1

    def text(raw):
        return raw.decode("utf-16-le", "replace") if wide else raw.decode("latin-1")

    return {
        "lm": _field(message, 12),
        "nt": _field(message, 20),
        "domain": text(_field(message, 28)),
        "user": text(_field(message, 36)),
        "workstation": text(_field(message, 44)),
        "flags": flags,
    }


def decode_token(value, scheme):
    """The bytes after "<scheme> " in a header value, or None when the scheme differs."""
    if value is None:
        return None
    name, _, rest = value.strip().partition(" ")
    if name.lower() != scheme.lower():
        return None
    try:
        return base64.b64decode(rest.strip(), validate=True)
    except ValueError:
        return None


class ProxyGate:
    """The credential check of one client connection. `check` gives None when the
    request may pass, otherwise the list of (name, value) header fields of a 407."""

    def __init__(self):
        self.challenge = None  # the type 2 challenge outstanding on this connection
        self.authenticated = False  # NTLM authenticates the connection, not the request

    def check(self, request, wanted):
        scheme = str(wanted.get("scheme", "basic")).lower()
        if scheme == "ntlm":
            return self._ntlm(request, wanted)
        return self._basic(request, wanted)

    def _basic(self, request, wanted):
        token = decode_token(request.header("Proxy-Authorization"), "Basic")
        expected = ("%s:%s" % (wanted.get("user", ""), wanted.get("password", ""))).encode("latin-1")
        if token is not None and token == expected:
            return None
        return [("Proxy-Authenticate", 'Basic realm="%s"' % wanted.get("realm", "standin"))]

    def _ntlm(self, request, wanted):
        if self.authenticated:
            return None
        token = decode_token(request.header("Proxy-Authorization"), "NTLM")
        kind = message_type(token) if token else None
        if kind == 1:
            self.challenge = os.urandom(8)
            message = challenge_message(self.challenge, str(wanted.get("domain", "")))
            return [("Proxy-Authenticate", "NTLM " + base64.b64encode(message).decode("ascii"))]
        if kind == 3 and self.challenge is not None:
            challenge, self.challenge = self.challenge, None
            if self._verify(token, challenge, wanted):
                self.authenticated = True
                return None
        return [("Proxy-Authenticate", "NTLM")]

    @staticmethod
    def _verify(token, challenge, wanted):
        try:
            fields = parse_authenticate(token)
        except BadMessage:
            return False
        password = str(wanted.get("password", ""))
        domain = str(wanted.get("domain", ""))
        if fields["user"].lower() != str(wanted.get("user", "")).lower():
            return False
        if fields["domain"] and fields["domain"].lower() != domain.lower():
            return False
        return (fields["nt"] == nt_response(password, challenge)
                and fields["lm"] == lm_response(password, challenge))
