#!/bin/sh
# Remakes the small test pictures of this folder with ImageMagick (run at
# fixture-making time only; the tests read the committed files). The source
# pictures are written as text (PPM/PAM) so that every colour is exact; the
# tests hold the same colours.
set -e
cd "$(dirname "$0")"
IM=/usr/bin/convert
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# 4 x 3, twelve exact colours.
cat > "$tmp/c12.ppm" <<'PPM'
P3
4 3
255
255 0 0   0 255 0   0 0 255   255 255 255
0 0 0   128 128 128   255 255 0   0 255 255
255 0 255   16 32 48   192 128 64   127 127 127
PPM

# The same colours with alpha 255 128 0 64 / 255 255 192 1 / 255 0 255 128.
cat > "$tmp/c12a.pam" <<'PAM'
P7
WIDTH 4
HEIGHT 3
DEPTH 4
MAXVAL 255
TUPLTYPE RGB_ALPHA
ENDHDR
PAM
printf '\377\000\000\377\000\377\000\200\000\000\377\000\377\377\377\100' >> "$tmp/c12a.pam"
printf '\000\000\000\377\200\200\200\377\377\377\000\300\000\377\377\001' >> "$tmp/c12a.pam"
printf '\377\000\377\377\020\040\060\000\300\200\100\377\177\177\177\200' >> "$tmp/c12a.pam"

# 9 x 2 black and white: pixel (x, y) is black when x + y is odd (PBM 1 is black).
printf 'P1\n9 2\n0 1 0 1 0 1 0 1 0\n1 0 1 0 1 0 1 0 1\n' > "$tmp/bw.pbm"

# 6 x 4, 24 colours: colour i = (10 i, 255 - 10 i, 37 i mod 256), row-major.
{
    printf 'P3\n6 4\n255\n'
    i=0
    while [ $i -lt 24 ]; do
        printf '%d %d %d\n' $((10 * i)) $((255 - 10 * i)) $((37 * i % 256))
        i=$((i + 1))
    done
} > "$tmp/c24.ppm"

# 16 x 16 in four 8 x 8 blocks: red, green / blue, white.
{
    printf 'P3\n16 16\n255\n'
    for y in $(seq 0 15); do
        for x in $(seq 0 15); do
            if [ $y -lt 8 ]; then
                if [ $x -lt 8 ]; then printf '255 0 0 '; else printf '0 255 0 '; fi
            else
                if [ $x -lt 8 ]; then printf '0 0 255 '; else printf '255 255 255 '; fi
            fi
        done
        printf '\n'
    done
} > "$tmp/blocks.ppm"

$IM "$tmp/bw.pbm" -type Bilevel BMP3:bw_9x2_1bit.bmp
$IM "$tmp/c12.ppm" -type Palette BMP3:c12_4x3_4bit.bmp
$IM "$tmp/c24.ppm" -type Palette -compress None BMP3:c24_6x4_8bit.bmp
$IM "$tmp/c12.ppm" -type TrueColor BMP3:c12_4x3_24bit.bmp
$IM "$tmp/c12a.pam" PNG32:c12_4x3_alpha.png
$IM "$tmp/blocks.ppm" -sampling-factor 1x1 -quality 95 blocks_16x16.jpg
$IM "$tmp/c12.ppm" c12_4x3.gif
$IM "$tmp/c12.ppm" -compress None c12_4x3.tif
