#!/usr/bin/env python3
"""Checks PNG files against expected pixels, decoding them here with zlib
alone, so that neither PNG writer under test is its own judge.

Reads lines "PNG<TAB>EXPECTED<TAB>COMPARE<TAB>UNDEFINED" on stdin:
EXPECTED is a .bgr (RGB expected) or .bgra (RGBA expected) file: width and
height as 32-bit little-endian numbers, then the rows from the top; COMPARE
is "exact" (every pixel but the UNDEFINED "x,y" ones) or "size", or
"complete" with no EXPECTED (the file must only decode whole). Prints one
line per fault and exits 1 when there was any."""
import struct
import sys
import zlib


def decode_png(path):
    """Returns (width, height, channels, rows) or raises ValueError."""
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("no PNG signature")
    pos, idat, header, ended = 8, b"", None, False
    while pos + 12 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if len(body) != length or pos + 12 + length > len(data):
            raise ValueError("chunk cut short")
        crc = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])[0]
        if zlib.crc32(kind + body) != crc:
            raise ValueError("bad CRC in " + kind.decode("latin-1"))
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            ended = True
            break
        pos += 12 + length
    if not header or not ended:
        raise ValueError("no IHDR or no IEND")
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError("unexpected form: depth %d colour type %d interlace %d" % (depth, colour, interlace))
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    if len(raw) != height * (stride + 1):
        raise ValueError("pixel data of the wrong length")
    rows, prior = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prior[i]
            c = prior[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
            elif kind != 0:
                raise ValueError("unknown filter %d" % kind)
        rows.append(bytes(line))
        prior = line
    return width, height, channels, rows


def check(png, expected, compare, undefined):
    width, height, channels, rows = decode_png(png)
    if compare == "complete":
        return None
    want = open(expected, "rb").read()
    ew, eh = struct.unpack("<II", want[:8])
    if (width, height) != (ew, eh):
        return "size %dx%d, expected %dx%d" % (width, height, ew, eh)
    want_channels = 4 if expected.endswith(".bgra") else 3
    if channels != want_channels:
        return "%d channels, expected %d" % (channels, want_channels)
    if compare != "exact":
        return None
    skip = {tuple(int(v) for v in p.split(",")) for p in undefined.split()}
    for y in range(height):
        for x in range(width):
            if (x, y) in skip:
                continue
            at = 8 + (y * width + x) * channels
            bgr = want[at:at + channels]
            got = rows[y][x * channels:(x + 1) * channels]
            if (got[2], got[1], got[0]) + tuple(got[3:]) != tuple(bgr):
                return "pixel %d,%d differs" % (x, y)
    return None


def main():
    faults = 0
    for line in sys.stdin:
        fields = line.rstrip("\n").split("\t") + ["", "", ""]
        png, expected, compare, undefined = fields[:4]
        try:
            fault = check(png, expected, compare, undefined)
        except (OSError, ValueError, zlib.error, struct.error) as e:
            fault = str(e)
        if fault:
            print("FAIL %s: %s" % (png, fault))
            faults += 1
    sys.exit(1 if faults else 0)


main()
