// The fields of a coded channel: 29-bit floats and the run-length coded coefficients.
#include <algorithm>
#include <bit>

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

// One coefficient of the given width: its magnitude, then a sign bit when the magnitude is not
// 0. Checks every field against the end of the input.
int AudioReadValue(AudioBitReader* reader, uint32_t width, float quantiser, float* value) {
  uint32_t magnitude, sign = 0;
  if (!AudioReadBits(reader, width, &magnitude)) return 0;
  if (magnitude != 0 && !AudioReadBits(reader, 1, &sign)) return 0;
  const float scaled = static_cast<float>(magnitude) * quantiser;
  *value = sign != 0 ? -scaled : scaled;
  return 1;
}

// Coefficients k..end-1 of the given width when the input is known to hold all their bits.
// Each 64-bit load serves as many values as its 57 sure bits hold, so the chain from one value's
// length to the next value's bits stays in registers. The data decide the sign bit's presence and
// value, and they are as good as random, so nothing here branches on them.
void AudioReadValuesInside(float* coefficients, uint32_t k, uint32_t end, AudioBitReader* reader,
                           uint32_t width, float quantiser) {
  const uint32_t mask = (1u << width) - 1, perLoad = 57 / (width + 1);
  while (k < end) {
    uint64_t bits = AudioBitReaderPeek(reader);
    uint32_t taken = 0;
    for (const uint32_t stop = std::min(end, k + perLoad); k < stop; ++k) {
      const auto magnitude = static_cast<int32_t>(bits & mask);
      const uint32_t nonZero = magnitude != 0 ? 1 : 0;
      const uint32_t negative = static_cast<uint32_t>(bits >> width) & nonZero;
      bits >>= width + nonZero;
      taken += width + nonZero;
      // Negating a float flips its sign bit.
      const auto scaled = std::bit_cast<uint32_t>(static_cast<float>(magnitude) * quantiser);
      coefficients[k] = std::bit_cast<float>(scaled ^ (negative << 31));
    }
    reader->Position += taken;
  }
}

// Coefficients k..end-1 near the end of the input, each field checked.
int AudioReadValuesAtEnd(float* coefficients, uint32_t k, uint32_t end, AudioBitReader* reader,
                         uint32_t width, float quantiser) {
  for (; k < end; ++k) {
    if (!AudioReadValue(reader, width, quantiser, &coefficients[k])) return 0;
  }
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
    // At most width + 1 bits a coefficient: most runs need no check per field.
    const bool inside = AudioBitReaderHas(reader, uint64_t{runEnd - k} * (width + 1));
    while (k < runEnd) {
      // The quantiser of the band that holds k, however many edges empty runs skipped.
      while (k >= nextEdge) {
        quantiser = quantisers[nextBand++];
        nextEdge = nextBand < bandCount ? 2 * bandEdges[nextBand] : n;
      }
      const uint32_t end = runEnd < nextEdge ? runEnd : nextEdge;
      if (inside) {
        AudioReadValuesInside(coefficients, k, end, reader, width, quantiser);
      } else if (!AudioReadValuesAtEnd(coefficients, k, end, reader, width, quantiser)) {
        return 0;
      }
      k = end;
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
