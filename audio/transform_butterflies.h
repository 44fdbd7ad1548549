// The kernels of the split-radix FFT: the butterflies at twiddle index p and at its mirror
// P/4 - p, for p = first .. first+count-1, over a block whose quarters are q floats long
// (twiddles[4i .. 4i+3] belong to p = first + i: cos, sin of the angle and of its triple), and
// the smallest blocks. Every version performs the reference's float operations, so all give the
// same bits; the SSE2 ones work on two butterflies at once.
#pragma once

#include <cstdint>

// The butterfly at float offset j with twiddles e^(i*theta) (c1, s1) and e^(3i*theta) (c3, s3).
inline void AudioFftButterfly(float* a, uint32_t j, uint32_t q, float c1, float s1, float c3,
                              float s3) {
  float* x0 = a + j;
  float* x1 = x0 + q;
  float* x2 = x1 + q;
  float* x3 = x2 + q;
  const float dr = x0[0] - x2[0], di = x0[1] - x2[1];
  const float er = x1[0] - x3[0], ei = x1[1] - x3[1];
  x0[0] += x2[0];
  x0[1] += x2[1];
  x1[0] += x3[0];
  x1[1] += x3[1];
  const float ur = dr - ei, ui = di + er;  // d + i*e, feeds outputs 4k+1
  const float vr = dr + ei, vi = di - er;  // d - i*e, feeds outputs 4k+3
  x2[0] = ur * c1 - ui * s1;
  x2[1] = ur * s1 + ui * c1;
  x3[0] = vr * c3 - vi * s3;
  x3[1] = vr * s3 + vi * c3;
}

// Two points: (x0 + x1, x0 - x1).
inline void AudioFftLeaf2(float* a) {
  const float r = a[0] - a[2], i = a[1] - a[3];
  a[0] += a[2];
  a[1] += a[3];
  a[2] = r;
  a[3] = i;
}

// The smallest blocks of the FFT: four points (8 floats) and eight points (16 floats, whose one
// non-trivial twiddle is e^(i*pi/4) = r + i*r), outputs in bit-reversed order.
void AudioFftLeaf4Reference(float* a);
void AudioFftLeaf8Reference(float* a, float r);
#if defined(__SSE2__)
void AudioFftLeaf4Sse2(float* a);
void AudioFftLeaf8Sse2(float* a, float r);
#endif

inline void AudioFftLeaf4(float* a) {
#if defined(__SSE2__)
  AudioFftLeaf4Sse2(a);
#else
  AudioFftLeaf4Reference(a);
#endif
}

inline void AudioFftLeaf8(float* a, float r) {
#if defined(__SSE2__)
  AudioFftLeaf8Sse2(a, r);
#else
  AudioFftLeaf8Reference(a, r);
#endif
}

void AudioFftButterflyPairsReference(float* a, uint32_t q, uint32_t first, uint32_t count,
                                     const float* twiddles);
#if defined(__SSE2__)
void AudioFftButterflyPairsSse2(float* a, uint32_t q, uint32_t first, uint32_t count,
                                const float* twiddles);
#endif

// The version this build uses: SSE2 belongs to every x86-64 processor.
inline void AudioFftButterflyPairs(float* a, uint32_t q, uint32_t first, uint32_t count,
                                   const float* twiddles) {
#if defined(__SSE2__)
  AudioFftButterflyPairsSse2(a, q, first, count, twiddles);
#else
  AudioFftButterflyPairsReference(a, q, first, count, twiddles);
#endif
}
