#!/usr/bin/env python3
"""Writes the seed corpus: well-formed answers to every file system command of the fuzz run."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def answer(entries, bulk=b""):
    body = bytes(entries)
    if bulk:
        body += b"\xFC\x04" + struct.pack("<I", len(bulk)) + b"\xFD\x00"
    return struct.pack("<BBBH", 0, 0, 0, 5 + len(body)) + body + bulk


def status(param, value=0):
    return bytes([param, 4]) + struct.pack("<I", value)


def entry(size, time, date, attributes, short):
    value = struct.pack("<iIHHB", 0, size, time, date, attributes) + short.ljust(12, b"\0")
    return bytes([0xDC, 25]) + value


def record(message):
    return b"\x01" + struct.pack("<H", len(message)) + message


def write(name, plan, answers):
    with open(os.path.join(HERE, "corpus", name), "wb") as f:
        f.write(plan + b"".join(record(a) for a in answers))


def main():
    os.makedirs(os.path.join(HERE, "corpus"), exist_ok=True)
    data = bytes((i * 7 + i // 251) & 0xFF for i in range(10000))
    session = [
        answer(status(0xD2)),
        answer(entry(0, 0, 0, 0x08, b"VELTRA5")),
        answer(entry(92708, 0xB145, 0x5867, 0x20, b"VT5_LO~1.TXT"), b"vt5_log_0307.txt"),
        answer(entry(7, 0x93C3, 0x5798, 0x21, b"README.TXT")),
        answer(status(0xDC)),
        answer(status(0xBD), b"/LOGS"),
        answer(status(0x30)),
        answer(status(0x33), data[:4096]),
        answer(status(0x33), data[4096:8192]),
        answer(status(0x33), data[8192:]),
        answer(status(0x33)),
        answer(status(0x36)),
        answer(status(0x36)),
        answer(status(0x3C)),
        answer(status(0xC1, 7)),
    ]
    write("session", bytes([64, 32]) + struct.pack("<H", 10000), session)
    # Small buffers, refusals and a read answered with more than was asked.
    refusals = [
        answer(status(0xD2)),
        answer(entry(5, 0, 0, 0x10, b"LOGS"), b"a long folder name"),
        answer(status(0xDC, 9)),
        answer(status(0xBD, 3)),
        answer(status(0x30, 4)),
        answer(status(0x33), data[:5000]),
    ]
    write("refusals", bytes([8, 1]) + struct.pack("<H", 100), refusals)


if __name__ == "__main__":
    main()
