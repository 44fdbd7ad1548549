// Scaled floats to interleaved 16-bit PCM.
#include "audio/audio_pcm.h"

#include "audio/audio_block.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Frames first .. n-1.
void StorePcmFrames(const float* samples, uint32_t n, uint32_t channels, float scale,
                    int16_t* pcm, uint32_t first) {
  for (uint32_t i = first; i < n; ++i) {
    for (uint32_t c = 0; c < channels; ++c) {
      pcm[channels * i + c] = AudioPcmSample(samples[c * n + i] * scale);
    }
  }
}

}  // namespace

void AudioStorePcmReference(const float* samples, uint32_t n, uint32_t channels, float scale,
                            int16_t* pcm) {
  StorePcmFrames(samples, n, channels, scale, pcm, 0);
}

#if defined(__SSE2__)

namespace {

// Eight samples, scaled, clamped and truncated like AudioPcmSample: within the 16-bit range
// already, so the saturating pack only narrows them.
inline __m128i PcmEight(const float* samples, __m128 scale) {
  const __m128 low = _mm_set1_ps(-32768.0f), high = _mm_set1_ps(32767.0f);
  const __m128 a = _mm_mul_ps(_mm_loadu_ps(samples), scale);
  const __m128 b = _mm_mul_ps(_mm_loadu_ps(samples + 4), scale);
  const __m128i ia = _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(a, low), high));
  const __m128i ib = _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(b, low), high));
  return _mm_packs_epi32(ia, ib);
}

}  // namespace

void AudioStorePcmSse2(const float* samples, uint32_t n, uint32_t channels, float scale,
                       int16_t* pcm) {
  const __m128 s = _mm_set1_ps(scale);
  auto* out = reinterpret_cast<__m128i*>(pcm);
  uint32_t i = 0;
  if (channels == 1) {
    for (; i + 8 <= n; i += 8) _mm_storeu_si128(out++, PcmEight(samples + i, s));
  } else if (channels == 2) {
    for (; i + 8 <= n; i += 8) {
      const __m128i left = PcmEight(samples + i, s), right = PcmEight(samples + n + i, s);
      _mm_storeu_si128(out++, _mm_unpacklo_epi16(left, right));
      _mm_storeu_si128(out++, _mm_unpackhi_epi16(left, right));
    }
  }
  StorePcmFrames(samples, n, channels, scale, pcm, i);
}

#endif
