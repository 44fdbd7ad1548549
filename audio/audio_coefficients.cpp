// The fields of a coded channel: 29-bit floats and the run-length coded coefficients.
#include <algorithm>

#include "audio/audio_block.h"
#include "audio/audio_tables.h"

int AudioReadFloatField(AudioBitReader* reader, float* value) {
  uint32_t field;
  if (!AudioReadBits(reader, 29, &field)) return 0;
  const uint32_t exponent = field & 31, mantissa = (field >> 5) & 0x7FFFFF;
  const float magnitude = static_cast<float>(mantissa) * AudioExponentScaleTable[exponent];
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
    groups = AudioRunLengthTable[index];
  }
  *runEnd = std::min(k + 8 * groups, n);
  return AudioReadBits(reader, 4, width);
}

// One coefficient of a run of the given width: its magnitude, then a sign bit when the
// magnitude is not 0. When the bits in hand hold both, they are taken without branching on
// the data, which is as good as random.
inline int AudioReadValue(AudioBitReader* reader, uint32_t width, float quantiser, float* value) {
  if (reader->Count > width) {
    const uint32_t magnitude = reader->Bits & ((1u << width) - 1);
    const uint32_t nonZero = magnitude != 0 ? 1 : 0;
    const uint32_t negative = (reader->Bits >> width) & nonZero;
    reader->Bits >>= width + nonZero;
    reader->Count -= width + nonZero;
    const float scaled = static_cast<float>(magnitude) * quantiser;
    *value = negative != 0 ? -scaled : scaled;
    return 1;
  }
  uint32_t magnitude, sign = 0;
  if (!AudioReadBits(reader, width, &magnitude)) return 0;
  if (magnitude != 0 && !AudioReadBits(reader, 1, &sign)) return 0;
  const float scaled = static_cast<float>(magnitude) * quantiser;
  *value = sign != 0 ? -scaled : scaled;
  return 1;
}

int AudioReadRuns(float* coefficients, uint32_t n, AudioBitReader* reader,
                  const float* quantisers, const uint32_t* bandEdges, uint32_t bandCount) {
  uint32_t nextBand = 0;  // the first band whose quantiser is not yet in force
  uint32_t nextEdge = 2 * bandEdges[0];
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
      while (k >= nextEdge) {
        quantiser = quantisers[nextBand++];
        nextEdge = nextBand < bandCount ? 2 * bandEdges[nextBand] : n;
      }
      if (!AudioReadValue(reader, width, quantiser, &coefficients[k])) return 0;
    }
  }
  return 1;
}

}  // namespace

int AudioReadCoefficients(float* coefficients, uint32_t n, AudioBitReader* reader,
                          const float* quantisers, const uint32_t* bandEdges, uint32_t bandCount) {
  // A local copy of the reader stays in registers while the coefficients are stored.
  AudioBitReader local = *reader;
  const int complete = AudioReadRuns(coefficients, n, &local, quantisers, bandEdges, bandCount);
  *reader = local;
  return complete;
}
