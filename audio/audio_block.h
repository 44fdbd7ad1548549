// The pieces of one coded block, for AudioDecodeBlock and the tests.
#pragma once

#include <algorithm>
#include <cstdint>

#include "audio/audio_bit_reader.h"

// A 29-bit float field: exponent e in bits 0-4, 23-bit mantissa m in bits 5-27, sign in bit
// 28; the value is m * AudioExponentScaleTable[e]. 0 when the input ends first.
int AudioReadFloatField(AudioBitReader* reader, float* value);

// Reads coefficients 2..n-1 of one channel as runs: a run is 8 coefficients, or 8 times a
// AudioRunLengthTable entry, cut at n, all of one bit width; width 0 makes them all 0, otherwise
// each is a magnitude v followed, when v is not 0, by a sign bit, and is v times the quantiser
// of its band. Band j covers coefficients 2*bandEdges[j] .. 2*bandEdges[j+1]-1 and uses
// quantisers[j]. Coefficients it does not reach keep their values (the caller zeroes them).
// Returns 0 when the input ends first.
int AudioReadCoefficients(float* coefficients, uint32_t n, AudioBitReader* reader,
                          const float* quantisers, const uint32_t* bandEdges, uint32_t bandCount);

// A scaled output value as PCM: truncated toward zero and clamped to -32768..32767. Clamping
// before the truncation gives the same results for every finite value and lets the compiler
// convert whole vectors at once.
inline int16_t AudioPcmSample(float value) {
  const float clamped = std::min(std::max(value, -32768.0f), 32767.0f);
  return static_cast<int16_t>(static_cast<int32_t>(clamped));
}
