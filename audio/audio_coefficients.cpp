// The fields of a coded channel: 29-bit floats and the run-length coded coefficients.
#include <algorithm>

#include "audio/audio_block.h"
#include "audio/audio_tables.h"

int AudioReadFloatField(AudioBitReader* reader, float* value) {
  uint32_t field;
  if (!AudioReadBits(reader, 29, &field)) return 0;
  const uint32_t exponent = field & 31, mantissa = (field >> 5) & 0x7FFFFF;
  const float magnitude = static_cast<float>(mantissa) * ExponentScaleTable[exponent];
  *value = (field >> 28) != 0 ? -magnitude : magnitude;
  return 1;
}

namespace {

// The run header: where the run ends (cut at n) and its bit width.
int AudioReadRunHeader(AudioBitReader* reader, uint32_t k, uint32_t n, uint32_t* runEnd,
                       uint32_t* width) {
  uint32_t longRun, groups = 1;
  if (!AudioReadBits(reader, 1, &longRun)) return 0;
  if (longRun != 0) {
    uint32_t index;
    if (!AudioReadBits(reader, 4, &index)) return 0;
    groups = RunLengthTable[index];
  }
  *runEnd = std::min(k + 8 * groups, n);
  return AudioReadBits(reader, 4, width);
}

}  // namespace

int AudioReadCoefficients(float* coefficients, uint32_t n, AudioBitReader* reader,
                          const float* quantisers, const uint32_t* bandEdges, uint32_t bandCount) {
  uint32_t nextBand = 0;  // the first band whose quantiser is not yet in force
  float quantiser = quantisers[0];
  uint32_t k = 2;
  while (k < n) {
    uint32_t runEnd, width;
    if (!AudioReadRunHeader(reader, k, n, &runEnd, &width)) return 0;
    if (width == 0) {
      k = runEnd;  // the caller's zeros stay
      continue;
    }
    for (; k < runEnd; ++k) {
      // The quantiser of the band that holds k, however many edges empty runs skipped.
      while (nextBand < bandCount && 2 * bandEdges[nextBand] <= k) {
        quantiser = quantisers[nextBand++];
      }
      uint32_t magnitude, sign;
      if (!AudioReadBits(reader, width, &magnitude)) return 0;
      if (magnitude == 0) continue;
      if (!AudioReadBits(reader, 1, &sign)) return 0;
      const float value = static_cast<float>(magnitude) * quantiser;
      coefficients[k] = sign != 0 ? -value : value;
    }
  }
  return 1;
}
