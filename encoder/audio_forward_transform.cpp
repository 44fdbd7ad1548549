// Forward real DFT and DCT: the inverse transforms' steps run backwards.
#include "encoder/audio_forward_transform.h"

int ForwardRealDft(uint32_t n, float* a, AudioTransformWork* work, float* table) {
  if (!AudioTransformLengthValid(n)) return 0;
  AudioTransformPrepareTables(n, n / 4, work, table);
  const uint32_t nw = work->TwiddleCount;
  AudioComplexFftForward(n, a, work->BitReverse, nw, table);
  if (n > 4) AudioRealDftForwardPost(n, a, work->CosineCount, table + nw);
  const float nyquist = a[0] - a[1];
  a[0] += a[1];
  a[1] = nyquist;
  return 1;
}

int ForwardDct(uint32_t n, float* a, AudioTransformWork* work, float* table) {
  if (!AudioTransformLengthValid(n)) return 0;
  AudioTransformPrepareTables(n, n, work, table);
  const uint32_t nw = work->TwiddleCount, nc = work->CosineCount;
  const float last = a[n - 1];
  for (uint32_t j = n - 2; j >= 2; j -= 2) {
    a[j + 1] = a[j] - a[j - 1];
    a[j] += a[j - 1];
  }
  a[1] = a[0] - last;
  a[0] += last;
  if (n > 4) AudioRealDftBackwardPre(n, a, nc, table + nw);
  AudioComplexFftBackward(n, a, work->BitReverse, nw, table);
  AudioDctPreRotate(n, a, nc, table + nw);
  return 1;
}
