#!/usr/bin/python3
"""Writes the TIntMatrix binary file and stream block of a 3 x 2 matrix with
the 32-bit extremes straight from the byte layout (struct, zlib's CRC-32), as
an independent check of the library's writer and reader.

Matrix (column, row): (1,1)=-2147483648 (1,2)=2147483647 (2,1)=0 (2,2)=-1
(3,1)=7 (3,2)=123456, DataID "ab"."""
import struct
import zlib

vals = [-2147483648, 2147483647, 0, -1, 7, 123456]  # column by column
body = b"NUMBRAMI" + struct.pack("<IiiI", 1, 3, 2, 2) + b"ab" + struct.pack("<6i", *vals)
with open("m3x2.nbm", "wb") as f:
    f.write(body + struct.pack("<I", zlib.crc32(body) & 0xFFFFFFFF))
# Stream block of the region columns 2..3, rows 1..2.
with open("m3x2_region.bin", "wb") as f:
    f.write(b"NMI1" + struct.pack("<4i", 2, 1, 3, 2) + struct.pack("<4i", *vals[2:]))
