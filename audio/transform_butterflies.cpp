// Butterfly pairs of the FFT's stages and its smallest blocks: the scalar references and their
// SSE2 versions.
#include "audio/transform_butterflies.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The mirror's angles are pi/2 - theta and 3*pi/2 - 3*theta: the same table entries with cos
// and sin exchanged (and negated for the triple angle).
void AudioFftButterflyPairsReference(float* a, uint32_t q, uint32_t first, uint32_t count,
                                     const float* twiddles) {
  for (uint32_t p = first; p < first + count; ++p) {
    const float* e = twiddles + 4 * (p - first);
    AudioFftButterfly(a, 2 * p, q, e[0], e[1], e[2], e[3]);
    AudioFftButterfly(a, q - 2 * p, q, e[1], e[0], -e[3], -e[2]);
  }
}

// Outputs X0, X2, X1, X3.
void AudioFftLeaf4Reference(float* a) {
  const float s02r = a[0] + a[4], s02i = a[1] + a[5];
  const float d02r = a[0] - a[4], d02i = a[1] - a[5];
  const float s13r = a[2] + a[6], s13i = a[3] + a[7];
  const float d13r = a[2] - a[6], d13i = a[3] - a[7];
  a[0] = s02r + s13r;
  a[1] = s02i + s13i;
  a[2] = s02r - s13r;
  a[3] = s02i - s13i;
  a[4] = d02r - d13i;
  a[5] = d02i + d13r;
  a[6] = d02r + d13i;
  a[7] = d02i - d13r;
}

// One stage with the twiddles at 0 and pi/4, then the leaves of its three parts.
void AudioFftLeaf8Reference(float* a, float r) {
  AudioFftButterfly(a, 0, 4, 1.0f, 0.0f, 1.0f, 0.0f);
  AudioFftButterfly(a, 2, 4, r, r, -r, r);
  AudioFftLeaf4Reference(a);
  AudioFftLeaf2(a + 8);
  AudioFftLeaf2(a + 12);
}

#if defined(__SSE2__)

namespace {

// Two complex points: one at p in the low half, one at m in the high half.
inline __m128 FftLoadPoints(const float* p, const float* m) {
  const __m128 low = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(p)));
  return _mm_loadh_pi(low, reinterpret_cast<const __m64*>(m));
}

inline void FftStorePoints(float* p, float* m, __m128 v) {
  _mm_storel_pi(reinterpret_cast<__m64*>(p), v);
  _mm_storeh_pi(reinterpret_cast<__m64*>(m), v);
}

// (re, im) pairs exchanged.
inline __m128 FftSwapParts(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1)); }

// The butterflies whose points x[0..3] hold, lane by lane, with the twiddles of each lane.
// Subtracting a product is adding it negated, and a flipped sign bit negates exactly, so each
// lane computes the reference's value.
inline void FftButterflyLanes(__m128 x[4], __m128 c1, __m128 s1, __m128 c3, __m128 s3) {
  const __m128 realNegated = _mm_setr_ps(-0.0f, 0.0f, -0.0f, 0.0f);
  const __m128 d = _mm_sub_ps(x[0], x[2]), e = _mm_sub_ps(x[1], x[3]);
  x[0] = _mm_add_ps(x[0], x[2]);
  x[1] = _mm_add_ps(x[1], x[3]);
  const __m128 ie = _mm_xor_ps(FftSwapParts(e), realNegated);  // i*e: (-ei, er)
  const __m128 u = _mm_add_ps(d, ie), v = _mm_sub_ps(d, ie);
  x[2] = _mm_add_ps(_mm_mul_ps(u, c1), _mm_xor_ps(_mm_mul_ps(FftSwapParts(u), s1), realNegated));
  x[3] = _mm_add_ps(_mm_mul_ps(v, c3), _mm_xor_ps(_mm_mul_ps(FftSwapParts(v), s3), realNegated));
}

// Two points per vector: (p0 + p1, p0 - p1).
inline __m128 FftLeaf2Lanes(__m128 x) {
  const __m128 highNegated = _mm_setr_ps(0.0f, 0.0f, -0.0f, -0.0f);
  return _mm_add_ps(_mm_movelh_ps(x, x), _mm_xor_ps(_mm_movehl_ps(x, x), highNegated));
}

// Four points in two vectors: x0 = (p0, p1), x1 = (p2, p3).
inline void FftLeaf4Lanes(__m128* x0, __m128* x1) {
  const __m128 s = _mm_add_ps(*x0, *x1), d = _mm_sub_ps(*x0, *x1);  // (s02, s13), (d02, d13)
  const __m128 outerNegated = _mm_setr_ps(-0.0f, 0.0f, 0.0f, -0.0f);
  *x0 = FftLeaf2Lanes(s);
  *x1 = _mm_add_ps(_mm_movelh_ps(d, d),
                   _mm_xor_ps(_mm_shuffle_ps(d, d, _MM_SHUFFLE(2, 3, 2, 3)), outerNegated));
}

}  // namespace

// Lanes 0-1 hold the butterfly at p, lanes 2-3 its mirror.
void AudioFftButterflyPairsSse2(float* a, uint32_t q, uint32_t first, uint32_t count,
                                const float* twiddles) {
  const __m128 mirrorNegated = _mm_set_ps(-0.0f, -0.0f, 0.0f, 0.0f);
  for (uint32_t p = first; p < first + count; ++p) {
    const __m128 e = _mm_loadu_ps(twiddles + 4 * (p - first));  // c1 s1 c3 s3
    const __m128 c1 = _mm_shuffle_ps(e, e, _MM_SHUFFLE(1, 1, 0, 0));
    const __m128 s1 = _mm_shuffle_ps(e, e, _MM_SHUFFLE(0, 0, 1, 1));
    const __m128 c3 = _mm_xor_ps(_mm_shuffle_ps(e, e, _MM_SHUFFLE(3, 3, 2, 2)), mirrorNegated);
    const __m128 s3 = _mm_xor_ps(_mm_shuffle_ps(e, e, _MM_SHUFFLE(2, 2, 3, 3)), mirrorNegated);
    float* p0 = a + 2 * p;
    float* m0 = a + q - 2 * p;
    __m128 x[4];
    for (uint32_t i = 0; i < 4; ++i) x[i] = FftLoadPoints(p0 + i * q, m0 + i * q);
    FftButterflyLanes(x, c1, s1, c3, s3);
    for (uint32_t i = 0; i < 4; ++i) FftStorePoints(p0 + i * q, m0 + i * q, x[i]);
  }
}

void AudioFftLeaf4Sse2(float* a) {
  __m128 x0 = _mm_loadu_ps(a), x1 = _mm_loadu_ps(a + 4);
  FftLeaf4Lanes(&x0, &x1);
  _mm_storeu_ps(a, x0);
  _mm_storeu_ps(a + 4, x1);
}

// Lanes 0-1 hold the butterfly at 0, lanes 2-3 the one at pi/4.
void AudioFftLeaf8Sse2(float* a, float r) {
  __m128 x[4];
  for (uint32_t i = 0; i < 4; ++i) x[i] = _mm_loadu_ps(a + 4 * i);
  const __m128 c1 = _mm_setr_ps(1.0f, 1.0f, r, r), s1 = _mm_setr_ps(0.0f, 0.0f, r, r);
  const __m128 c3 = _mm_setr_ps(1.0f, 1.0f, -r, -r);
  FftButterflyLanes(x, c1, s1, c3, s1);
  FftLeaf4Lanes(&x[0], &x[1]);
  x[2] = FftLeaf2Lanes(x[2]);
  x[3] = FftLeaf2Lanes(x[3]);
  for (uint32_t i = 0; i < 4; ++i) _mm_storeu_ps(a + 4 * i, x[i]);
}

#endif
