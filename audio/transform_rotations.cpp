// Rotations that connect a real sequence of n values with the complex FFT of n/2 points.
#include "audio/transform_rotations.h"

#include "audio/audio_transform.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The fold of bins j and n/2 - j for j = first, first + 2, ... below n/2. The two directions
// differ only in the sign of the sine: the forward one is the backward one with wki negated,
// and since x + (-y) is x - y and a negated product is the product of a negated factor, that
// is exactly the forward formula yr = wkr*xr - wki*xi, yi = wkr*xi + wki*xr.
void RealDftFold(uint32_t n, float* a, uint32_t nc, const float* c, uint32_t first, float sign) {
  const uint32_t m = n / 2;
  const uint32_t step = 2 * nc / m;
  for (uint32_t j = first; j < m; j += 2) {
    const uint32_t k = n - j, kk = j / 2 * step;
    const float wkr = 0.5f - c[nc - kk], wki = sign * c[kk];
    const float xr = a[j] - a[k], xi = a[j + 1] + a[k + 1];
    const float yr = wkr * xr + wki * xi, yi = wkr * xi - wki * xr;
    a[j] -= yr;
    a[j + 1] -= yi;
    a[k] += yr;
    a[k + 1] -= yi;
  }
}

// The pairs (a[j], a[n-j]) for j = first .. n/2 - 1, then the middle value.
void DctRotate(uint32_t n, float* a, uint32_t nc, const float* c, uint32_t first) {
  const uint32_t m = n / 2;
  const uint32_t step = nc / n;
  for (uint32_t j = first; j < m; ++j) {
    const uint32_t k = n - j, kk = j * step;
    const float wkr = c[kk] - c[nc - kk], wki = c[kk] + c[nc - kk];
    const float xj = a[j], xk = a[k];
    a[j] = wkr * xj + wki * xk;
    a[k] = wki * xj - wkr * xk;
  }
  a[m] *= c[0];
}

// The final butterflies from even index first on: each pair (a[j], a[j+1]) becomes
// (a[j] - a[j+1] at j-1, a[j] + a[j+1] at j).
void DctPairButterflies(uint32_t n, float* a, uint32_t first) {
  for (uint32_t j = first; j < n; j += 2) {
    a[j - 1] = a[j] - a[j + 1];
    a[j] += a[j + 1];
  }
}

}  // namespace

// Before the backward FFT of a real inverse DFT: folds bins j and n/2 - j of the half-length
// spectrum into the complex sequence whose transform interleaves the even and odd outputs.
void AudioRealDftBackwardPreReference(uint32_t n, float* a, uint32_t nc, const float* c) {
  RealDftFold(n, a, nc, c, 2, 1.0f);
}

// After the forward FFT: the same fold in the forward direction.
void AudioRealDftForwardPostReference(uint32_t n, float* a, uint32_t nc, const float* c) {
  RealDftFold(n, a, nc, c, 2, -1.0f);
}

// Rotates the pairs (a[j], a[n-j]) by the quarter-sample phase that turns a cosine transform
// into a real DFT of the same length.
void AudioDctPreRotateReference(uint32_t n, float* a, uint32_t nc, const float* c) {
  DctRotate(n, a, nc, c, 1);
}

void AudioDctFinalButterfliesReference(uint32_t n, float* a) {
  const float xr = a[0] - a[1];
  a[0] += a[1];
  DctPairButterflies(n, a, 2);
  a[n - 1] = xr;
}

#if defined(__SSE2__)

namespace {

// The four floats in reverse order.
inline __m128 Reverse(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)); }

// The two complex values exchanged.
inline __m128 SwapHalves(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 0, 3, 2)); }

// Each complex value's parts exchanged.
inline __m128 SwapParts(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1)); }

// (x, x, y, y).
inline __m128 PairOf(float x, float y) { return _mm_setr_ps(x, x, y, y); }

// Two folds at once: j and j + 2 in the lanes (0, 1) and (2, 3), their partners n - j and
// n - j - 2 in the same lanes of the mirrored vector. Each lane performs the reference's
// operations on its value: subtractions are additions of a value whose sign bit is flipped.
void RealDftFoldSse2(uint32_t n, float* a, uint32_t nc, const float* c, float sign) {
  const uint32_t m = n / 2;
  const uint32_t step = 2 * nc / m;
  const __m128 half = _mm_set1_ps(0.5f);
  const __m128 negateReal = _mm_setr_ps(-0.0f, 0.0f, -0.0f, 0.0f);
  const __m128 negateImag = _mm_setr_ps(0.0f, -0.0f, 0.0f, -0.0f);
  uint32_t j = 2;
  for (; j + 2 < m; j += 4) {
    const uint32_t kk = j / 2 * step;
    const __m128 wkr = _mm_sub_ps(half, PairOf(c[nc - kk], c[nc - kk - step]));
    const __m128 wki = PairOf(sign * c[kk], sign * c[kk + step]);
    float* pk = a + n - j - 2;
    const __m128 xj = _mm_loadu_ps(a + j), xk = SwapHalves(_mm_loadu_ps(pk));
    const __m128 x = _mm_add_ps(xj, _mm_xor_ps(xk, negateReal));  // (xr, xi) twice
    const __m128 y = _mm_add_ps(_mm_mul_ps(wkr, x),
                                _mm_xor_ps(_mm_mul_ps(wki, SwapParts(x)), negateImag));
    _mm_storeu_ps(a + j, _mm_sub_ps(xj, y));
    _mm_storeu_ps(pk, SwapHalves(_mm_add_ps(xk, _mm_xor_ps(y, negateImag))));
  }
  RealDftFold(n, a, nc, c, j, sign);
}

}  // namespace

void AudioRealDftBackwardPreSse2(uint32_t n, float* a, uint32_t nc, const float* c) {
  RealDftFoldSse2(n, a, nc, c, 1.0f);
}

void AudioRealDftForwardPostSse2(uint32_t n, float* a, uint32_t nc, const float* c) {
  RealDftFoldSse2(n, a, nc, c, -1.0f);
}

// Four pairs at once: a[j .. j+3] and, reversed, a[n-j-3 .. n-j].
void AudioDctPreRotateSse2(uint32_t n, float* a, uint32_t nc, const float* c) {
  const uint32_t m = n / 2;
  uint32_t j = 1;
  if (nc == n) {  // the cosines at consecutive indices, as the decoder builds them
    for (; j + 3 < m; j += 4) {
      const __m128 cj = _mm_loadu_ps(c + j), ck = Reverse(_mm_loadu_ps(c + nc - j - 3));
      const __m128 wkr = _mm_sub_ps(cj, ck), wki = _mm_add_ps(cj, ck);
      float* pk = a + n - j - 3;
      const __m128 xj = _mm_loadu_ps(a + j), xk = Reverse(_mm_loadu_ps(pk));
      _mm_storeu_ps(a + j, _mm_add_ps(_mm_mul_ps(wkr, xj), _mm_mul_ps(wki, xk)));
      _mm_storeu_ps(pk, Reverse(_mm_sub_ps(_mm_mul_ps(wki, xj), _mm_mul_ps(wkr, xk))));
    }
  }
  DctRotate(n, a, nc, c, j);
}

// Two pairs at once: a[j .. j+3] read, a[j-1 .. j+2] written; the next read starts past the
// values written.
void AudioDctFinalButterfliesSse2(uint32_t n, float* a) {
  const __m128 evenNegated = _mm_setr_ps(-0.0f, 0.0f, -0.0f, 0.0f);
  const float xr = a[0] - a[1];
  a[0] += a[1];
  uint32_t j = 2;
  for (; j + 4 <= n; j += 4) {
    const __m128 x = _mm_loadu_ps(a + j);
    const __m128 first = _mm_shuffle_ps(x, x, _MM_SHUFFLE(2, 2, 0, 0));
    const __m128 second = _mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 1, 1));
    _mm_storeu_ps(a + j - 1, _mm_add_ps(first, _mm_xor_ps(second, evenNegated)));
  }
  DctPairButterflies(n, a, j);
  a[n - 1] = xr;
}

#endif

void AudioRealDftBackwardPre(uint32_t n, float* a, uint32_t nc, const float* c) {
#if defined(__SSE2__)
  AudioRealDftBackwardPreSse2(n, a, nc, c);
#else
  AudioRealDftBackwardPreReference(n, a, nc, c);
#endif
}

void AudioRealDftForwardPost(uint32_t n, float* a, uint32_t nc, const float* c) {
#if defined(__SSE2__)
  AudioRealDftForwardPostSse2(n, a, nc, c);
#else
  AudioRealDftForwardPostReference(n, a, nc, c);
#endif
}

void AudioDctPreRotate(uint32_t n, float* a, uint32_t nc, const float* c) {
#if defined(__SSE2__)
  AudioDctPreRotateSse2(n, a, nc, c);
#else
  AudioDctPreRotateReference(n, a, nc, c);
#endif
}

void AudioDctFinalButterflies(uint32_t n, float* a) {
#if defined(__SSE2__)
  AudioDctFinalButterfliesSse2(n, a);
#else
  AudioDctFinalButterfliesReference(n, a);
#endif
}
