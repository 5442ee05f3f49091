// "P2SF" blocks: runs of the current colour, new colours from small caches of
// recent colours or given literally, and chains that carry a colour down into
// the next row. A unit is a pixel, or a pixel pair at 8 bits.
#pragma once

#include "decode/p2.h"

// Decodes one P2SF block onto its place on the canvas. A stream that ends
// early decodes the rest from zero bits. Returns false, writing nothing, when
// its work buffers cannot be had.
bool DecodeP2sfBlock(const P2Block& block);
