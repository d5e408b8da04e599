#!/usr/bin/python3
# Reference checksums of the data table (CRCofNamesAndAttributes,
# CRCofCellStates) from Python's zlib.crc32: eight standard CRC-32 streams,
# the byte at 1-based position p going to stream p mod 8, written as 8 x 8
# upper-case hexadecimal digits.
#
# Table A: a new 1 x 1 table (names C-1, R-1, attributes 0, type Interval = 3).
# Table B: 2 columns x 3 rows, comment "Hi", column names "x", "yy",
#   column attributes 1, 258 (low byte 2), row names R-1..R-3, row attributes
#   0, 7, -1 (low byte 255), column 2 nominal (1) with identifiers "a", "bc";
#   states column 1: 0, 2, 64; column 2: 32, 0, 255.
import zlib

def crc(feed):
    streams = [bytearray() for _ in range(8)]
    for byte, pos in feed:
        streams[pos % 8].append(byte & 0xFF)
    return "".join("%08X" % zlib.crc32(bytes(s)) for s in streams)

def text(s):
    return [(b, i + 1) for i, b in enumerate(s.encode())]

def names_feed(comment, colnames, colatt, rownames, rowatt, types, ids):
    f = text(comment)
    for n in colnames: f += text(n)
    f += [(a, c + 1) for c, a in enumerate(colatt)]
    for n in rownames: f += text(n)
    f += [(a, r + 1) for r, a in enumerate(rowatt)]
    f += [(t, c + 1) for c, t in enumerate(types)]
    for col in ids:
        for s in col: f += text(s)
    return f

def states_feed(cols):
    return [(s, r + 1) for col in cols for r, s in enumerate(col)]

with open("crc_ref.txt", "w") as out:
    out.write(crc(names_feed("", ["C-1"], [0], ["R-1"], [0], [3], [[]])) + "\n")
    out.write(crc(states_feed([[0]])) + "\n")
    out.write(crc(names_feed("Hi", ["x", "yy"], [1, 258], ["R-1", "R-2", "R-3"], [0, 7, -1],
                             [3, 1], [[], ["a", "bc"]])) + "\n")
    out.write(crc(states_feed([[0, 2, 64], [32, 0, 255]])) + "\n")
