// Dequantisation and the 8x8 integer inverse transform (scalar reference).
//
// All arithmetic is 32-bit two's complement that wraps, whatever the coefficients, and right
// shifts are arithmetic: the SIMD versions reproduce these results bit for bit.
#pragma once

#include <cstdint>

// Fixed-point constants of the 8-point transform (11 fractional bits).
constexpr int32_t kVideoIdctC2896 = 2896;  // sqrt(2)
constexpr int32_t kVideoIdctC3784 = 3784;  // 2 cos(pi/8)
constexpr int32_t kVideoIdctC5352 = 5352;  // 2 (cos(pi/8) + sin(pi/8))
constexpr int32_t kVideoIdctC2217 = 2217;  // 2 (cos(pi/8) - sin(pi/8))

// Computes the 64 transform results (before they are reduced to 8 bits), in natural order:
// dequantise (coefficient * multiplier >> 11), transform the columns (a column whose rows 1..7
// are zero is its dequantised row 0 throughout), then the rows, each output (x + 127) >> 8.
void VideoIdctReference(const int16_t coefs[64], const uint32_t quant[64], int32_t out[64]);

// The three output kernels, scalar reference versions.
void VideoIdctPutReference(uint8_t* dst, uint32_t pitch, const int16_t coefs[64],
                           const uint32_t quant[64]);
void VideoIdctPutDoubledReference(uint8_t* dst, uint32_t pitch, const int16_t coefs[64],
                                  const uint32_t quant[64]);
void VideoIdctAddReference(uint8_t* dst, uint32_t pitch, const int16_t coefs[64],
                           const uint32_t quant[64], const uint8_t* src, uint32_t srcPitch);
