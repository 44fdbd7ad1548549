// The forward transform of the encoder: the exact inverse of the decoder's 8x8 transform (in real
// arithmetic) followed by division by the quantiser matrix.
#pragma once

#include <cstdint>

// The dequantised values (natural order) whose inverse transform is an 8x8 block of pixel
// values (or of differences), up to the decoder's rounding.
void EncoderForwardTransform(const int32_t block[64], double out[64]);

// Divides dequantised values by a quantiser matrix (16 fractional bits, applied with >> 11),
// rounds them towards zero by `deadZone` (0 = to nearest) and clamps them to what the stream
// carries: the DC to [dcMin, dcMax], the others to +-EncoderMaxCoefficient.
void EncoderQuantise(const double in[64], const uint32_t quant[64], double deadZone, int32_t dcMin,
                     int32_t dcMax, int16_t out[64]);
