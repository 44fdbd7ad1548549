// Building the twiddle and cosine tables of the audio transforms.
#include <cmath>

#include "audio/audio_transform.h"

namespace {

// pi/4 as the tables take it, in single precision.
constexpr float kQuarterTurn = 0.7853982f;

}  // namespace

void AudioFftMakeTwiddles(uint32_t nw, AudioTransformWork* work, float* w) {
  work->TwiddleCount = nw;
  work->CosineCount = 1;
  if (nw <= 2) return;
  uint32_t nwh = nw / 2;
  const float delta = kQuarterTurn / static_cast<float>(nwh);
  w[0] = 1.0f;
  w[1] = std::cos(static_cast<float>(nwh) * delta);
  if (nwh >= 4) {
    w[2] = 0.5f / std::cos(2.0f * delta);
    w[3] = 0.5f / std::cos(6.0f * delta);
  }
  for (uint32_t j = 4; j < nwh; j += 4) {
    w[j] = std::cos(static_cast<float>(j) * delta);
    w[j + 1] = std::sin(static_cast<float>(j) * delta);
    w[j + 2] = std::cos(static_cast<float>(3 * j) * delta);
    w[j + 3] = std::sin(static_cast<float>(3 * j) * delta);
  }
  // Each deeper level is the one above at every other entry, for a block half the size.
  uint32_t nw0 = 0;
  while (nwh > 2) {
    const uint32_t nw1 = nw0 + nwh;
    nwh /= 2;
    w[nw1] = 1.0f;
    w[nw1 + 1] = w[1];
    if (nwh >= 4) {
      w[nw1 + 2] = 0.5f / w[nw0 + 4];
      w[nw1 + 3] = 0.5f / w[nw0 + 6];
    }
    for (uint32_t j = 4; j < nwh; j += 4) {
      for (uint32_t i = 0; i < 4; ++i) w[nw1 + j + i] = w[nw0 + 2 * j + i];
    }
    nw0 = nw1;
  }
}

void AudioFftMakeCosines(uint32_t nc, AudioTransformWork* work, float* c) {
  work->CosineCount = nc;
  if (nc <= 1) return;
  const uint32_t nch = nc / 2;
  const float delta = kQuarterTurn / static_cast<float>(nch);
  c[0] = std::cos(static_cast<float>(nch) * delta);
  c[nch] = 0.5f * c[0];
  for (uint32_t j = 1; j < nch; ++j) {
    const double angle = static_cast<double>(static_cast<float>(j) * delta);
    c[j] = static_cast<float>(0.5 * std::cos(angle));
    c[nc - j] = static_cast<float>(0.5 * std::sin(angle));
  }
}
