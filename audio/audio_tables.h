// Fixed tables of the audio block decoder, shared read-only by every decoder.
#pragma once

#include <cstdint>

inline constexpr uint32_t AudioMaxBands = 25;
inline constexpr uint32_t AudioQuantiserCount = 96;

// Lower band edges in Hz; a decoder uses the leading entries below its Nyquist frequency.
extern const uint32_t BandEdgeFrequencies[AudioMaxBands];
// Run lengths in groups of 8 coefficients, selected by a run's 4-bit index.
extern const uint32_t RunLengthTable[16];
// Band quantiser steps: entry i is 10^(0.0664 i) rounded to single precision.
extern const float QuantiserTable[AudioQuantiserCount];
// Scale of a 29-bit float field by its 5-bit exponent: 2^(e - 23) for e = 0..23, then the
// first eight quantiser steps for e = 24..31.
extern const float ExponentScaleTable[32];
