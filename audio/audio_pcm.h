// The last step of a block: its transformed channels, scaled, as interleaved 16-bit PCM. A
// scalar reference and an SSE2 version that give the same values for every finite input; a
// block's values are finite, since the largest coefficient is below 2^37 and a transform sums
// at most 4096 of them.
#pragma once

#include <cstdint>

// pcm[c + channels*i] = the PCM sample of samples[c*n + i] * scale, for i < n and each of the
// 1 or 2 channels.
void AudioStorePcmReference(const float* samples, uint32_t n, uint32_t channels, float scale,
                            int16_t* pcm);
#if defined(__SSE2__)
void AudioStorePcmSse2(const float* samples, uint32_t n, uint32_t channels, float scale,
                       int16_t* pcm);
#endif

inline void AudioStorePcm(const float* samples, uint32_t n, uint32_t channels, float scale,
                          int16_t* pcm) {
#if defined(__SSE2__)
  AudioStorePcmSse2(samples, n, channels, scale, pcm);
#else
  AudioStorePcmReference(samples, n, channels, scale, pcm);
#endif
}
