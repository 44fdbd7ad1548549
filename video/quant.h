// Quantiser matrices: sixteen intra and sixteen inter 8x8 matrices of multipliers with 16
// fractional bits, in natural order (row * 8 + column), chosen by a block's 4-bit quantiser.
#pragma once

#include <cstdint>

constexpr uint32_t kVideoQuantiserCount = 16;

extern const uint32_t VideoQuantIntra[kVideoQuantiserCount][64];
extern const uint32_t VideoQuantInter[kVideoQuantiserCount][64];
