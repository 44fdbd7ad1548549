// The forward transform of the encoder: the exact inverse of the decoder's 8x8 transform (in real
// arithmetic) followed by division by the quantiser matrix.
#pragma once

#include <cstdint>

// The dequantised values (natural order) whose inverse transform is an 8x8 block of pixel
// values (or of differences), up to the decoder's rounding.
void EncoderForwardTransform(const int32_t block[64], double out[64]);

// A quantiser matrix of the decoder (16 fractional bits, applied with >> 11) and the factors
// that divide dequantised values by it.
struct EncoderQuantiser {
  const uint32_t* Matrix;
  double Scale[64];  // 2048 / Matrix[i]
};

// The intra or inter quantiser q (0..15).
const EncoderQuantiser* EncoderGetQuantiser(bool inter, uint32_t q);

// Divides dequantised values by a quantiser matrix, rounds them towards zero by `deadZone`
// (0 = to nearest) and clamps them to what the stream carries: the DC to [dcMin, dcMax], the
// others to +-EncoderMaxCoefficient.
void EncoderQuantise(const double in[64], const EncoderQuantiser* quant, double deadZone,
                     int32_t dcMin, int32_t dcMax, int16_t out[64]);

// Quantises as EncoderQuantise does, then checks what the decoder will store: the low 8 bits of
// the inverse transform (plus the prediction, when there is one), so a value that rings past 255
// would show as black and one below 0 as white. Where that would happen, the target is pulled in
// by the excess and transformed and quantised again, for a few rounds. `target` is the block the
// transform was made from (pixels, or differences from the prediction). Returns 1 when every
// output stays within 0..255.
int EncoderQuantiseInRange(const int32_t target[64], const double transformed[64],
                           const uint8_t* pred, uint32_t predPitch, const EncoderQuantiser* quant,
                           double deadZone, int32_t dcMin, int32_t dcMax, int16_t out[64]);
