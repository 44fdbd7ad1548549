// Joining consecutive blocks: a linear crossfade from the previous block's tail.
#include <cstring>

#include "audio/audio_decoder.h"

namespace {

// Division rounding toward minus infinity.
inline int32_t AudioFloorDiv(int32_t value, int32_t divisor) {
  const int32_t q = value / divisor;
  return (value % divisor != 0 && value < 0) ? q - 1 : q;
}

}  // namespace

void AudioJoinBlock(AudioBlockDecoder* d) {
  const auto n = static_cast<int32_t>(d->OverlapBytes / 2);
  int16_t* pcm = d->PcmBuffer;
  const int16_t* tail = d->OverlapBuffer;
  if (d->FirstBlock != 0) {
    d->FirstBlock = 0;
  } else {
    // Over single 16-bit values: in stereo the left and right samples are separate steps.
    for (int32_t i = 0; i < n; ++i) {
      const int32_t mixed = tail[i] * (n - i) + pcm[i] * i;
      pcm[i] = static_cast<int16_t>(AudioFloorDiv(mixed, n));
    }
  }
  std::memcpy(d->OverlapBuffer, reinterpret_cast<const uint8_t*>(pcm) + AudioBlockOutputBytes(d),
              d->OverlapBytes);
}
