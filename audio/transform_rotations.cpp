// Rotations that connect a real sequence of n values with the complex FFT of n/2 points.
#include "audio/audio_transform.h"

// Before the backward FFT of a real inverse DFT: folds bins j and n/2 - j of the half-length
// spectrum into the complex sequence whose transform interleaves the even and odd outputs.
void AudioRealDftBackwardPre(uint32_t n, float* a, uint32_t nc, const float* c) {
  const uint32_t m = n / 2;
  const uint32_t step = 2 * nc / m;
  uint32_t kk = 0;
  for (uint32_t j = 2; j < m; j += 2) {
    const uint32_t k = n - j;
    kk += step;
    const float wkr = 0.5f - c[nc - kk], wki = c[kk];
    const float xr = a[j] - a[k], xi = a[j + 1] + a[k + 1];
    const float yr = wkr * xr + wki * xi, yi = wkr * xi - wki * xr;
    a[j] -= yr;
    a[j + 1] -= yi;
    a[k] += yr;
    a[k + 1] -= yi;
  }
}

// After the forward FFT: the same fold in the forward direction.
void AudioRealDftForwardPost(uint32_t n, float* a, uint32_t nc, const float* c) {
  const uint32_t m = n / 2;
  const uint32_t step = 2 * nc / m;
  uint32_t kk = 0;
  for (uint32_t j = 2; j < m; j += 2) {
    const uint32_t k = n - j;
    kk += step;
    const float wkr = 0.5f - c[nc - kk], wki = c[kk];
    const float xr = a[j] - a[k], xi = a[j + 1] + a[k + 1];
    const float yr = wkr * xr - wki * xi, yi = wkr * xi + wki * xr;
    a[j] -= yr;
    a[j + 1] -= yi;
    a[k] += yr;
    a[k + 1] -= yi;
  }
}

// Rotates the pairs (a[j], a[n-j]) by the quarter-sample phase that turns a cosine transform
// into a real DFT of the same length.
void AudioDctPreRotate(uint32_t n, float* a, uint32_t nc, const float* c) {
  const uint32_t m = n / 2;
  const uint32_t step = nc / n;
  uint32_t kk = 0;
  for (uint32_t j = 1; j < m; ++j) {
    const uint32_t k = n - j;
    kk += step;
    const float wkr = c[kk] - c[nc - kk], wki = c[kk] + c[nc - kk];
    const float xj = a[j], xk = a[k];
    a[j] = wkr * xj + wki * xk;
    a[k] = wki * xj - wkr * xk;
  }
  a[m] *= c[0];
}
