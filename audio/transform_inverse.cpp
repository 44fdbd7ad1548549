// The two inverse transforms of the audio decoder, with their lazily built tables.
#include "audio/audio_transform.h"

void AudioTransformPrepareTables(uint32_t n, uint32_t cosines, AudioTransformWork* work,
                                 float* table) {
  // Building the twiddles marks the cosines as not built, so they always follow.
  if (n > 4 * work->TwiddleCount) AudioFftMakeTwiddles(n / 4, work, table);
  if (cosines > work->CosineCount) AudioFftMakeCosines(cosines, work, table + work->TwiddleCount);
}

uint32_t AudioInverseRealDftTableFloats(uint32_t n) { return n / 2; }
uint32_t AudioInverseDctTableFloats(uint32_t n) { return n / 4 + n; }

int AudioTransformLengthValid(uint32_t n) {
  return n >= 4 && n <= kAudioTransformMaxLength && (n & (n - 1)) == 0;
}

int AudioInverseRealDft(uint32_t n, float* a, AudioTransformWork* work, float* table) {
  if (!AudioTransformLengthValid(n)) return 0;
  // The cosines are rebuilt when n > 4 * nc, that is when n/4 exceeds nc.
  AudioTransformPrepareTables(n, n / 4, work, table);
  const uint32_t nw = work->TwiddleCount;
  a[1] = (a[0] - a[1]) * 0.5f;
  a[0] -= a[1];
  if (n > 4) AudioRealDftBackwardPre(n, a, work->CosineCount, table + nw);
  AudioComplexFftBackward(n, a, work->BitReverse, nw, table);
  return 1;
}

int AudioInverseDct(uint32_t n, float* a, AudioTransformWork* work, float* table) {
  if (!AudioTransformLengthValid(n)) return 0;
  AudioTransformPrepareTables(n, n, work, table);
  const uint32_t nw = work->TwiddleCount, nc = work->CosineCount;
  AudioDctPreRotate(n, a, nc, table + nw);
  AudioComplexFftForward(n, a, work->BitReverse, nw, table);
  if (n > 4) AudioRealDftForwardPost(n, a, nc, table + nw);
  AudioDctFinalButterflies(n, a);
  return 1;
}
