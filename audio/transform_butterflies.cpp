// Butterfly pairs of the FFT's middle stages: the scalar reference and its SSE2 version.
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

}  // namespace

// Lanes 0-1 hold the butterfly at p, lanes 2-3 its mirror. Subtracting a product is adding it
// negated, and a flipped sign bit negates exactly, so each lane computes the reference's value.
void AudioFftButterflyPairsSse2(float* a, uint32_t q, uint32_t first, uint32_t count,
                                const float* twiddles) {
  const __m128 realNegated = _mm_set_ps(0.0f, -0.0f, 0.0f, -0.0f);
  const __m128 mirrorNegated = _mm_set_ps(-0.0f, -0.0f, 0.0f, 0.0f);
  for (uint32_t p = first; p < first + count; ++p) {
    const __m128 e = _mm_loadu_ps(twiddles + 4 * (p - first));  // c1 s1 c3 s3
    const __m128 c1 = _mm_shuffle_ps(e, e, _MM_SHUFFLE(1, 1, 0, 0));
    const __m128 s1 = _mm_shuffle_ps(e, e, _MM_SHUFFLE(0, 0, 1, 1));
    const __m128 c3 = _mm_xor_ps(_mm_shuffle_ps(e, e, _MM_SHUFFLE(3, 3, 2, 2)), mirrorNegated);
    const __m128 s3 = _mm_xor_ps(_mm_shuffle_ps(e, e, _MM_SHUFFLE(2, 2, 3, 3)), mirrorNegated);
    float* p0 = a + 2 * p;
    float* m0 = a + q - 2 * p;
    const __m128 x0 = FftLoadPoints(p0, m0), x1 = FftLoadPoints(p0 + q, m0 + q);
    const __m128 x2 = FftLoadPoints(p0 + 2 * q, m0 + 2 * q);
    const __m128 x3 = FftLoadPoints(p0 + 3 * q, m0 + 3 * q);
    const __m128 d = _mm_sub_ps(x0, x2), e1 = _mm_sub_ps(x1, x3);
    FftStorePoints(p0, m0, _mm_add_ps(x0, x2));
    FftStorePoints(p0 + q, m0 + q, _mm_add_ps(x1, x3));
    const __m128 ie = _mm_xor_ps(FftSwapParts(e1), realNegated);  // i*e: (-ei, er)
    const __m128 u = _mm_add_ps(d, ie), v = _mm_sub_ps(d, ie);
    const __m128 y2 = _mm_add_ps(_mm_mul_ps(u, c1),
                                 _mm_xor_ps(_mm_mul_ps(FftSwapParts(u), s1), realNegated));
    const __m128 y3 = _mm_add_ps(_mm_mul_ps(v, c3),
                                 _mm_xor_ps(_mm_mul_ps(FftSwapParts(v), s3), realNegated));
    FftStorePoints(p0 + 2 * q, m0 + 2 * q, y2);
    FftStorePoints(p0 + 3 * q, m0 + 3 * q, y3);
  }
}

#endif
