// "P2SS" blocks: an arithmetic decoder of yes/no decisions over a stored
// table of 128 probabilities. Every unit of a row (a pixel, or a pixel pair
// at 8 bits) is carried down by a chain from the row above, continues the
// current colour, or gets a new colour from a per-context cache or from
// residuals around a prediction.
#pragma once

#include "decode/p2.h"

// Decodes one P2SS block onto its place on the canvas. A stream that ends
// early decodes the rest from zero bits. Returns false, writing nothing, when
// its work buffers cannot be had.
bool DecodeP2ssBlock(const P2Block& block);
