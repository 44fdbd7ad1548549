// Fixed tables of the audio block decoder, shared read-only by every decoder.
#pragma once

#include <cstdint>

inline constexpr uint32_t kAudioMaxBands = 25;
inline constexpr uint32_t kAudioQuantiserCount = 96;

// Lower band edges in Hz; a decoder uses the leading entries below its Nyquist frequency.
extern const uint32_t AudioBandEdgeFrequencies[kAudioMaxBands];
// Run lengths in groups of 8 coefficients, selected by a run's 4-bit index.
extern const uint32_t AudioRunLengthTable[16];
// Band quantiser steps: entry i is 10^(0.0664 i) rounded to single precision.
extern const float AudioQuantiserTable[kAudioQuantiserCount];
// Scale of a 29-bit float field by its 5-bit exponent: 2^(e - 23) for e = 0..23, then the
// first eight quantiser steps for e = 24..31.
extern const float AudioExponentScaleTable[32];
