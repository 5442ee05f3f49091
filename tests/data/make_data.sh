#!/bin/bash
# Remakes the TGA and PSD test files and ImageMagick's decodings of them.
# Needs python3 and ImageMagick 6 at /usr/bin/convert; the tests themselves
# need neither. Run from anywhere: tests/data/make_data.sh
set -euo pipefail
cd "$(dirname "$0")"
im=/usr/bin/convert
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The source picture: 19 x 11, three rows of colour runs, three of ramps,
# five of noise; opaque in columns 0-7, clear in column 8, graded alpha after.
python3 - "$tmp/src.pam" <<'PY'
import random, sys
W, H = 19, 11
random.seed(7)
px = []
for y in range(H):
    for x in range(W):
        if y < 3:
            c = [(200, 30, 40), (10, 220, 90), (0, 0, 255)][(x // 5) % 3]
        elif y < 6:
            c = (x * 13 % 256, y * 40 % 256, (x * y * 7) % 256)
        else:
            c = (random.randrange(256), random.randrange(256), random.randrange(256))
        a = 255 if x < 8 else (0 if x == 8 else (x * 23 + y * 11) % 256)
        px.append(bytes(c) + bytes([a]))
hdr = b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % (W, H)
open(sys.argv[1], "wb").write(hdr + b"".join(px))
PY
$im "$tmp/src.pam" -define png:exclude-chunks=date,time src.png

# TGA: five pixel kinds, raw and run-length, both origins. ImageMagick's
# decodings (NAME.rgba, 8-bit RGBA) keep its own quirks: rows as it wrote
# them (top first whatever the descriptor says) and 5-bit channels scaled.
mkdir -p tga
kinds=("grey8:-alpha off -colorspace Gray -type Grayscale"
       "map8:-alpha off -type Palette"
       "rgb16:-depth 5"
       "rgb24:-alpha off -type TrueColor"
       "rgba32:-type TrueColorAlpha")
for kind in "${kinds[@]}"; do
    name=${kind%%:*}
    read -r -a opts <<<"${kind#*:}"
    for comp in raw rle; do
        c=none; [ $comp = rle ] && c=RLE
        for origin in bl tl; do
            o=BottomLeft; [ $origin = tl ] && o=TopLeft
            f=tga/${name}_${comp}_${origin}.tga
            $im src.png "${opts[@]}" -orient $o -compress $c "$f"
            $im "$f" -depth 8 "RGBA:$f.rgba"
        done
    done
done

# PSD: greyscale, indexed, RGB, RGBA, CMYK at 8 and 16 bits, raw and
# PackBits. Decodings of the merged picture (frame [0]; the layer follows):
# NAME.rgba (8-bit) or NAME.rgba16 (16-bit, big-endian), in sRGB, alpha read
# without un-blending. ImageMagick cannot read back its
# indexed documents, so theirs is the source picture's own colours.
mkdir -p psd
kinds=("grey:-alpha off -colorspace Gray"
       "rgb:-alpha off"
       "rgba:"
       "cmyk:-alpha off -colorspace CMYK"
       "index:-alpha off -type Palette")
for kind in "${kinds[@]}"; do
    name=${kind%%:*}
    read -r -a opts <<<"${kind#*:}"
    for comp in raw rle; do
        c=none; [ $comp = rle ] && c=RLE
        for depth in 8 16; do
            [ $name = index ] && [ $depth = 16 ] && continue
            f=psd/${name}${depth}_${comp}.psd
            $im src.png "${opts[@]}" -depth $depth -compress $c "$f"
            if [ $name = index ]; then
                $im src.png -alpha off -depth 8 "RGBA:$f.rgba"
            elif [ $depth = 8 ]; then
                $im -define psd:alpha-unblend=off "$f[0]" -colorspace sRGB -depth 8 "RGBA:$f.rgba"
            else
                $im -define psd:alpha-unblend=off "$f[0]" -colorspace sRGB -depth 16 -endian MSB "RGBA:$f.rgba16"
            fi
        done
    done
done

# Lab: ImageMagick does not write Lab documents, so these are written here
# (raw planes, L across the columns, a and b from the rows and noise) and
# only decoded by it.
python3 - psd <<'PY'
import random, struct, sys
W, H = 19, 11
random.seed(11)
planes = [[], [], []]
for y in range(H):
    for x in range(W):
        planes[0].append(x * 255 // (W - 1))
        planes[1].append(random.randrange(256) if y > 7 else y * 255 // 7)
        planes[2].append(random.randrange(256) if y > 7 else 255 - y * 255 // 7)
for depth in (8, 16):
    out = b"8BPS" + struct.pack(">H6xHIIHH", 1, 3, H, W, depth, 9)
    out += struct.pack(">III", 0, 0, 0) + struct.pack(">H", 0)
    for p in planes:
        out += bytes(p) if depth == 8 else b"".join(struct.pack(">H", v * 257) for v in p)
    open("%s/lab%d_raw.psd" % (sys.argv[1], depth), "wb").write(out)
PY
$im "psd/lab8_raw.psd[0]" -colorspace sRGB -depth 8 RGBA:psd/lab8_raw.psd.rgba
$im "psd/lab16_raw.psd[0]" -colorspace sRGB -depth 16 -endian MSB RGBA:psd/lab16_raw.psd.rgba16
