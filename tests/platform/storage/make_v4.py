#!/usr/bin/python3
"""Writes a version 4 compound file (4096-byte sectors) by hand: stream "big" of
5,000 bytes in sectors 4 and 5, stream "small" of 100 bytes in the mini stream.
Byte i of a stream of size n is (i * 7 + n) & 255."""
import struct
import sys

SECTOR = 4096
FREE, END, FATSECT, NOSTREAM = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFF


def content(n):
    return bytes((i * 7 + n) & 255 for i in range(n))


def entry(name, kind, left, right, child, start, size):
    encoded = name.encode("utf-16-le")
    return (encoded.ljust(64, b"\0") + struct.pack("<HBBIII", len(encoded) + 2, kind, 1, left, right, child)
            + b"\0" * 16 + struct.pack("<IQQIQ", 0, 0, 0, start, size))


def table(values):
    return struct.pack("<%dI" % (SECTOR // 4), *(values + [FREE] * (SECTOR // 4 - len(values))))


header = (bytes.fromhex("D0CF11E0A1B11AE1") + b"\0" * 16
          + struct.pack("<HHHHH", 0x3E, 4, 0xFFFE, 12, 6) + b"\0" * 6
          + struct.pack("<IIIIIIIII", 1, 1, 1, 0, 4096, 2, 1, END, 0)
          + struct.pack("<109I", 0, *([FREE] * 108)))
directory = (entry("Root Entry", 5, NOSTREAM, NOSTREAM, 1, 3, 128)
             + entry("big", 2, NOSTREAM, 2, NOSTREAM, 4, 5000)
             + entry("small", 2, NOSTREAM, NOSTREAM, NOSTREAM, 0, 100)).ljust(SECTOR, b"\0")
sectors = [header.ljust(SECTOR, b"\0"), table([FATSECT, END, END, END, 5, END]), directory,
           table([1, END]), content(100).ljust(SECTOR, b"\0"), content(5000).ljust(2 * SECTOR, b"\0")]
with open(sys.argv[1], "wb") as out:
    out.write(b"".join(sectors))
