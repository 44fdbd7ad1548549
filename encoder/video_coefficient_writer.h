// Bit-plane writing of transform coefficients and residues: the decoder walks a work list of
// coefficient groups, one bit per entry and pass; the writer walks the same list and sets each bit
// so that every value is read in the pass of its top bit.
#pragma once

#include <cstdint>

#include "encoder/video_bit_writer.h"

// Largest coefficient magnitude the writer takes: the deepest groups are opened two passes above
// their top bit, and the pass count has 4 bits.
constexpr int32_t EncoderMaxCoefficient = 4095;

// Writes coefficients 1..63 of a block in natural order (entry 0, the DC, travels in a list).
// Magnitudes must not exceed EncoderMaxCoefficient.
void EncoderWriteCoefficients(EncoderBlockBits* bits, const int16_t coefs[64]);

// Writes the 7-bit change budget and a residue (natural order, values added modulo 256). Returns
// 0, writing nothing, when the residue needs more than 128 changes or passes above bit 7.
int EncoderWriteResidue(EncoderBlockBits* bits, const int8_t residue[64]);
