// Split-radix complex FFT over the nested twiddle table (layout in audio_transform.h).
//
// Decimation in frequency, computing X[k] = sum x[p] e^(+2*pi*i*p*k/P) for P points: one stage
// turns a block into a half-length transform in its first half (the even outputs) and two
// quarter-length ones in its last two quarters (outputs 4k+1 and 4k+3); the three are then
// transformed the same way, depth first, so small blocks stay in cache. The outputs end up in
// bit-reversed order and one permutation puts them in place. The backward direction is the
// forward one on conjugated input with conjugated output.
#include <algorithm>

#include "audio/audio_transform.h"
#include "audio/transform_butterflies.h"

namespace {

// e^(i*theta) and e^(3i*theta) of one butterfly.
struct FftTwiddle {
  float C1, S1, C3, S3;
};

// The butterfly at float offset j of a block whose quarters are q floats long.
inline void FftButterfly(float* a, uint32_t j, uint32_t q, FftTwiddle t) {
  AudioFftButterfly(a, j, q, t.C1, t.S1, t.C3, t.S3);
}

// The twiddles at index 0 and at P/8 (angle pi/4), which every level shares.
inline FftTwiddle FftTwiddleZero() { return FftTwiddle{1.0f, 0.0f, 1.0f, 0.0f}; }
inline FftTwiddle FftTwiddleEighth(float r) { return FftTwiddle{r, r, -r, r}; }

// A stage over a block of m >= 16 floats that is not the whole array: its level (the one of a
// block of 2m floats) holds every twiddle it needs at stride 4.
void FftStage(uint32_t m, float* a, const float* level) {
  const uint32_t q = m / 4, eighth = m / 16;
  FftButterfly(a, 0, q, FftTwiddleZero());
  AudioFftButterflyPairs(a, q, 1, eighth - 1, level + 4);
  FftButterfly(a, 2 * eighth, q, FftTwiddleEighth(level[1]));
}

// The even twiddle 2t of a block's own level, t from 0 to P/16.
inline FftTwiddle FftEvenTwiddle(const float* level, uint32_t t, uint32_t sixteenth) {
  if (t == 0) return FftTwiddleZero();
  if (t == sixteenth) return FftTwiddleEighth(level[1]);
  const float* e = level + 4 * t;
  return FftTwiddle{e[0], e[1], e[2], e[3]};
}

// The first stage over the whole array of m >= 16 floats. Its level has only the even
// twiddles; an odd one is the sum of its two even neighbours times the half-angle factor,
// since cos(x - s) + cos(x + s) = 2*cos(s)*cos(x) (and likewise for sin). The twiddles of a
// stretch of indices are written out first, then the butterfly pairs run over the stretch.
void FftFirstStage(uint32_t m, float* a, const float* level) {
  const uint32_t q = m / 4, eighth = m / 16, sixteenth = m / 32;
  const float h1 = level[2], h3 = level[3];
  FftButterfly(a, 0, q, FftTwiddleZero());
  constexpr uint32_t kStretch = 64;
  float twiddles[4 * kStretch];
  for (uint32_t first = 1; first < eighth; first += kStretch) {
    const uint32_t count = std::min(kStretch, eighth - first);
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t p = first + i;
      FftTwiddle t = FftEvenTwiddle(level, p / 2, sixteenth);
      if (p % 2 != 0) {
        const FftTwiddle hi = FftEvenTwiddle(level, p / 2 + 1, sixteenth);
        t = FftTwiddle{(t.C1 + hi.C1) * h1, (t.S1 + hi.S1) * h1, (t.C3 + hi.C3) * h3,
                       (t.S3 + hi.S3) * h3};
      }
      twiddles[4 * i] = t.C1;
      twiddles[4 * i + 1] = t.S1;
      twiddles[4 * i + 2] = t.C3;
      twiddles[4 * i + 3] = t.S3;
    }
    AudioFftButterflyPairs(a, q, first, count, twiddles);
  }
  FftButterfly(a, 2 * eighth, q, FftTwiddleEighth(level[1]));
}

// The three sub-transforms a stage leaves in a block of m floats, depth first.
void FftSubBlocks(uint32_t m, float* a, uint32_t nw, const float* w);

// A block of m floats that is not the whole array.
void FftBlock(uint32_t m, float* a, uint32_t nw, const float* w) {
  if (m == 4) {
    AudioFftLeaf2(a);
  } else if (m == 8) {
    AudioFftLeaf4(a);
  } else if (m == 16) {
    AudioFftLeaf8(a, w[nw - 8 + 1]);
  } else {
    FftStage(m, a, w + nw - m / 2);
    FftSubBlocks(m, a, nw, w);
  }
}

void FftSubBlocks(uint32_t m, float* a, uint32_t nw, const float* w) {
  FftBlock(m / 2, a, nw, w);
  FftBlock(m / 4, a + m / 2, nw, w);
  FftBlock(m / 4, a + 3 * m / 4, nw, w);
}

// The butterfly network on the whole array; outputs in bit-reversed order.
void FftNetwork(uint32_t n, float* a, uint32_t nw, const float* w) {
  if (n == 4) {
    AudioFftLeaf2(a);
  } else if (n == 8) {
    AudioFftLeaf4(a);
  } else {
    FftFirstStage(n, a, w + nw - n / 4);
    FftSubBlocks(n, a, nw, w);
  }
}

uint32_t FftLog2(uint32_t x) {
  uint32_t bits = 0;
  while ((1u << bits) < x) ++bits;
  return bits;
}

// Swaps complex points i and j, conjugating both when asked.
inline void FftSwapPoints(float* a, uint32_t i, uint32_t j, bool conjugate) {
  float* pi = a + 2 * i;
  float* pj = a + 2 * j;
  const float sign = conjugate ? -1.0f : 1.0f;
  const float re = pi[0], im = pi[1];
  pi[0] = pj[0];
  pi[1] = sign * pj[1];
  pj[0] = re;
  pj[1] = sign * im;
}

// Puts the n/2 complex points from bit-reversed into natural order, conjugating them all when
// asked. An index i of b bits is split into its high h = b/2 bits x and low l = b - h bits y;
// its reversal j is rev_l(y) followed by rev_h(x), so one table of l-bit reversals (at most
// 256 entries, in scratch) serves both halves. With r the high h bits of rev_l(y), i < j for
// every x below r, and x = r is the one case to compare, so each pair is swapped once and
// without a guess on the order.
void FftBitReverse(uint32_t n, float* a, uint32_t* scratch, bool conjugate) {
  const uint32_t bits = FftLog2(n / 2);
  const uint32_t high = bits / 2, low = bits - high;
  scratch[0] = 0;
  for (uint32_t size = 1, bit = (1u << low) >> 1; bit != 0; size *= 2, bit >>= 1) {
    for (uint32_t i = 0; i < size; ++i) scratch[size + i] = scratch[i] | bit;
  }
  for (uint32_t y = 0; y < (1u << low); ++y) {
    const uint32_t reversedY = scratch[y] << high;
    const uint32_t r = scratch[y] >> (low - high);
    for (uint32_t x = 0; x < r; ++x) {
      FftSwapPoints(a, (x << low) | y, reversedY | (scratch[x] >> (low - high)), conjugate);
    }
    const uint32_t i = (r << low) | y, j = reversedY | (scratch[r] >> (low - high));
    if (i < j) {
      FftSwapPoints(a, i, j, conjugate);
    } else if (i == j && conjugate) {
      a[2 * i + 1] = -a[2 * i + 1];
    }
  }
}

}  // namespace

void AudioComplexFftForward(uint32_t n, float* a, uint32_t* scratch, uint32_t nw, const float* w) {
  FftNetwork(n, a, nw, w);
  FftBitReverse(n, a, scratch, false);
}

void AudioComplexFftBackward(uint32_t n, float* a, uint32_t* scratch, uint32_t nw, const float* w) {
  for (uint32_t j = 1; j < n; j += 2) a[j] = -a[j];
  FftNetwork(n, a, nw, w);
  FftBitReverse(n, a, scratch, true);
}
