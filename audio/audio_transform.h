// Single-precision inverse transforms of the audio decoder and the table-driven split-radix
// complex FFT they are built on. Every transform works in place on n floats, without scaling.
//
// Table layout: the twiddle table w[0..nw-1] holds nested levels, the deepest at the end. The
// level for an m-float block (m/2 complex points, step angle s = 4*pi/m) starts at
// w + nw - m/4: w[1] = cos(pi/4), w[2] = 0.5/cos(s), w[3] = 0.5/cos(3s) (half-angle factors),
// and for t = 1, 2, ... below m/32 the four entries at 4t are cos, sin of 2ts and cos, sin of
// 6ts. A block therefore finds every even twiddle in its own level and every twiddle in the
// level of a block twice its size. The cosine table c[0..nc-1] follows the twiddles:
// c[0] = cos(pi/4), c[j] = 0.5*cos(j*pi/(2nc)) and c[nc-j] = 0.5*sin(j*pi/(2nc)).
#pragma once

#include <cstdint>

// Longest transform the work area's bit-reversal scratch supports.
inline constexpr uint32_t kAudioTransformMaxLength = 65536;

// Which tables have been built, and the bit-reversal scratch.
struct AudioTransformWork {
  uint32_t TwiddleCount;  // nw of the built twiddle table; 0 = none yet
  uint32_t CosineCount;   // nc of the built cosine table
  uint32_t BitReverse[256];
};

// Floats of table an inverse transform of length n needs.
uint32_t AudioInverseRealDftTableFloats(uint32_t n);  // n/4 twiddles + n/4 cosines
uint32_t AudioInverseDctTableFloats(uint32_t n);      // n/4 twiddles + n cosines

// 1 when n is a power of two from 4 to kAudioTransformMaxLength.
int AudioTransformLengthValid(uint32_t n);

// x[k] = (a[0] + a[1]*(-1)^k)/2 + sum over 0 < j < n/2 of a[2j]*cos(2*pi*j*k/n)
//        + a[2j+1]*sin(2*pi*j*k/n).
// Rebuilds the tables when they are too small for n. Returns 0, leaving a untouched, when n
// is not a valid length.
int AudioInverseRealDft(uint32_t n, float* a, AudioTransformWork* work, float* table);
// y[k] = sum over j of a[j]*cos(pi*j*(k + 1/2)/n). Same tables and result as above.
int AudioInverseDct(uint32_t n, float* a, AudioTransformWork* work, float* table);

// Builds the twiddles for length n (n/4 of them) when the built ones are fewer, and the
// cosines when fewer than the given count are built: n/4 for the real DFT, n for the DCT.
void AudioTransformPrepareTables(uint32_t n, uint32_t cosines, AudioTransformWork* work,
                                 float* table);

// Table builders. AudioFftMakeTwiddles also marks the cosines as not built (nc = 1).
void AudioFftMakeTwiddles(uint32_t nw, AudioTransformWork* work, float* w);
void AudioFftMakeCosines(uint32_t nc, AudioTransformWork* work, float* c);

// Complex FFT of n/2 points stored as (re, im) pairs, in natural order on both sides.
// Forward: X[k] = sum x[p] e^(+2*pi*i*p*k/(n/2)); backward uses e^(-...). Needs nw >= n/4.
void AudioComplexFftForward(uint32_t n, float* a, uint32_t* scratch, uint32_t nw, const float* w);
void AudioComplexFftBackward(uint32_t n, float* a, uint32_t* scratch, uint32_t nw, const float* w);

// Rotations between a real sequence and its half-length complex transform (n > 4, nc >= n/4
// for the real-DFT ones, nc >= n for the DCT one).
void AudioRealDftBackwardPre(uint32_t n, float* a, uint32_t nc, const float* c);
void AudioRealDftForwardPost(uint32_t n, float* a, uint32_t nc, const float* c);
void AudioDctPreRotate(uint32_t n, float* a, uint32_t nc, const float* c);
// The DCT's last step after the rotation: a[j-1] = a[j] - a[j+1], a[j] += a[j+1] for even j
// from 2, with a[0] - a[1] moved to a[n-1] (n >= 4).
void AudioDctFinalButterflies(uint32_t n, float* a);
