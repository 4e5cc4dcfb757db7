#!/usr/bin/env python3
"""Writes the sample firmware files of this folder, for tests and for trying Flashwell and
vt5-flash on the simulated HC. Deterministic; run it again after changing it and commit the files.

A firmware file is the header b"VT5fw\\0" and sections: id ("HC", "CA"), version, flags, start
word (2 bytes each, little-endian), a 40-byte description, the payload size (4 bytes) and the
payload, the image. Every image starts with the 64-byte information block that the boot loaders
of the simulated HC and camera check (hcsim/boot/image_info.h):
  "V5IB", target 'H' or 'C', layout 1, flags, version, start word, image size (4 bytes),
  description (40 bytes), CRC-32 of the image with its own 4 bytes taken as zero, 4 zero bytes.
The section header of each image tells the same version, flags, start word and description as
the block inside it."""
import struct
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent

HC_START = 0x0080      # the HC's application area: after its 64 KiB boot loader
CAMERA_START = 0x0040  # the camera's: after its 32 KiB boot loader


def flags(build, pcb_limit, relocated=False):
    return build << 12 | pcb_limit << 5 | (0x10 if relocated else 0)


def body(size, seed):
    """Pseudo-random code bytes (xorshift32), so that images differ in every page."""
    out = bytearray(size)
    x = seed or 1
    for i in range(size):
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        out[i] = x & 0xFF
    return out


def image(target, version, flag_bits, start, description, size, seed):
    block = bytearray(64)
    struct.pack_into("<4sBBHHHI", block, 0, b"V5IB", ord(target), 1, flag_bits, version, start,
                     size)
    block[16:56] = description.encode("latin-1").ljust(40, b"\0")[:40]
    data = block + body(size - 64, seed)
    struct.pack_into("<I", data, 56, zlib.crc32(bytes(data)))
    return bytes(data)


def section(section_id, version, flag_bits, start, description, payload):
    head = struct.pack("<2sHHH", section_id, version, flag_bits, start)
    head += description.encode("latin-1").ljust(40, b"\0")[:40]
    return head + struct.pack("<I", len(payload)) + payload


def hc_section(version, flag_bits, description, size, damage=None):
    payload = image("H", version, flag_bits, HC_START, description, size, version * 7919)
    if damage is not None:
        payload = bytearray(payload)
        payload[damage] ^= 0x20
        payload = bytes(payload)
    return section(b"HC", version, flag_bits, HC_START, description, payload)


def camera_section(version, flag_bits, description, size):
    payload = image("C", version, flag_bits, CAMERA_START, description, size, version * 104729)
    return section(b"CA", version, flag_bits, CAMERA_START, description, payload)


def write(name, *sections):
    (HERE / name).write_bytes(b"VT5fw\0" + b"".join(sections))


def main():
    hc = hc_section(0x0110, flags(3, 2), "Veltra-5 HC firmware 1.10", 64 * 1024)
    camera = camera_section(0x0210, flags(1, 0), "Veltra-5 guide camera 2.10", 24 * 1024)
    # Both parts, the camera's first, with a section of another kind between them.
    write("vt5_fw_1.10.bin", camera, section(b"XX", 0, 0, 0, "notes", b"skipped"), hc)
    write("vt5_fw_1.10_hc_only.bin", hc)
    # For boards from PCB version 5 on: an HC of hardware ID 3 makes the updater ask first.
    write("vt5_fw_1.12_pcb5.bin",
          hc_section(0x0112, flags(1, 5), "Veltra-5 HC firmware 1.12 (PCB 5+)", 64 * 1024),
          camera)
    # An HC image with one bit flipped after it was sealed: it loads, and the HC's boot loader
    # refuses it at its checksum.
    write("vt5_fw_1.11_damaged.bin",
          hc_section(0x0111, flags(2, 2), "Veltra-5 HC firmware 1.11", 40 * 1024, damage=30000),
          camera)
    # Cut off inside the HC payload: the loader reports wrong file contents.
    data = (HERE / "vt5_fw_1.10_hc_only.bin").read_bytes()
    (HERE / "vt5_fw_truncated.bin").write_bytes(data[:6 + 52 + 1000])


if __name__ == "__main__":
    main()
