// Bit-plane coded detail of transform-coded and residue blocks.
#pragma once

#include <cstdint>

#include "video/bit_reader.h"

// Reads up to 63 transform coefficients into natural positions 1..63 of coefs (cleared first);
// entry 0, the block's DC, is left as the caller set it.
void VideoReadCoefficients(VideoBitReader* r, int16_t coefs[64]);

// Reads a residue into natural positions of residue (cleared first). Reading stops after change
// number budget + 1; values wrap modulo 256.
void VideoReadResidue(VideoBitReader* r, int8_t residue[64], uint32_t budget);
