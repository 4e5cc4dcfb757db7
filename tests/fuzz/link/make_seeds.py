#!/usr/bin/env python3
"""Writes the seed corpus of the client-answer fuzzer: well-formed server answers in the
order the fuzz target's client asks for them, so that the fuzzer starts from deep paths.
Run it again after changing the target's sequence of requests."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def msg(identifier, payload=b""):
    return struct.pack("<II", 8 + len(payload), identifier) + payload


def control(code, payload=b""):
    return msg(code << 16 | 0x5C3D, payload)


def chunks(data, flags=0):
    out = b""
    for i in range(0, max(len(data), 1), 4096):
        piece = data[i:i + 4096]
        last = 0xFFFF if i + 4096 >= len(data) else 0
        out += msg(0x3D3DA7AD, struct.pack("<HH", flags, last) + piece)
    return out


TABLE = bytes([2, 0xF8, 4, 0x01, 0, 0x10, 0, 0x11, 0, 0xD1, 0,
               0x51, 2, 0xC5, 0, 0xA3, 6])


def identity(mode=0):
    return control(0x005F, struct.pack("<HHHH", mode, 0x0112, 3, len(TABLE)) + TABLE)


def answer(code, counter, entries):
    return bytes([code, counter, 0]) + struct.pack("<H", 5 + len(entries)) + entries


def exchange(code, counter, entries):
    """Lock, data write, the answer in three reads (1, 4, rest), unlock."""
    a = answer(code, counter, entries)
    return (control(0x9E22, struct.pack("<H", 0)) + control(0xACCE) +
            control(0x9E22, struct.pack("<H", 0)) + msg(0xDA7A5555) +
            chunks(a[:1]) + chunks(a[1:5]) + chunks(a[5:]) + control(0x7E1E))


def device_info():
    s = control(0x9E22, struct.pack("<H", 0)) + identity() + control(0xACCE)
    s += exchange(0xF8, 1, bytes([0x01, 4, 0x12, 0x01, 3, 0]))
    s += exchange(0xF8, 2, bytes([0x10, 24]) + bytes(range(8)) + b"ABCDEFGHIJKLMNO\0")
    s += exchange(0xF8, 3, bytes([0x11, 1, 3]))
    s += control(0x0F70, b"HC000001") + control(0x0F7D, b"Veltra-5 HandController".ljust(64, b"\0"))
    s += exchange(0xF8, 4, bytes([0xD1, 32]) + b"text".ljust(32, b"\0"))
    return s + control(0x7E1E)


def link_round():
    s = control(0x9E22, struct.pack("<H", 5))
    s += identity(0xFFFF)
    s += chunks(bytes([0xFB, 0xAA, 0, 5, 0]) + bytes(4995), flags=1)
    s += control(0xACCE)
    s += control(0x0F70, b"HC000001")
    s += control(0x0F7D, b"Veltra-5 HandController".ljust(64, b"\0"))
    s += control(0x68AC, struct.pack("<HH", 1000, 1000))
    s += msg(0xDA7A5555)
    s += control(0xB044, struct.pack("<I", 0))
    s += control(0x3D62)
    s += control(0x7E1E)
    return s


SEEDS = {
    # The first byte picks the plan: even = link operations, odd = the API context
    # (bit 1 adds a system change, bits 6-7 its type).
    "link_round": b"\x00" + link_round() * 2,
    "link_errors": b"\x00" + msg(0x0E77C0DE, struct.pack("<HI", 0x33DB, 4)) +
                   msg(0x0E77C0DE, struct.pack("<H", 0x4823)) + control(0x005F, struct.pack("<HHHH", 1234, 9, 0, 0)),
    "device_info": b"\x01" + device_info(),
    "device_info_async": b"\x01" + control(0x9E22, struct.pack("<H", 5)) +
                         chunks(bytes([0xFB]), flags=1) + chunks(bytes([0x36, 0, 5, 0]), flags=1),
}

for name, data in SEEDS.items():
    with open(os.path.join(HERE, "corpus", name), "wb") as f:
        f.write(data)
