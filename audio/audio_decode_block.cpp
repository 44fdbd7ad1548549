// Decoding one coded block into PCM.
#include <algorithm>

#include "audio/audio_block.h"
#include "audio/audio_decoder.h"
#include "audio/audio_pcm.h"

namespace {

// One coded channel: coefficients 0 and 1 as floats, one quantiser per band, then the runs.
int AudioReadChannel(const AudioBlockDecoder* d, AudioBitReader* reader, float* coefficients) {
  if (!AudioReadFloatField(reader, &coefficients[0])) return 0;
  if (!AudioReadFloatField(reader, &coefficients[1])) return 0;
  float quantisers[kAudioMaxBands];
  for (uint32_t j = 0; j < d->BandCount; ++j) {
    uint32_t field;
    if (!AudioReadBits(reader, 8, &field)) return 0;
    quantisers[j] = AudioQuantiserTable[std::min(field, kAudioQuantiserCount - 1)];
  }
  return AudioReadCoefficients(coefficients, d->FrameSamples, reader, quantisers, d->BandEdges,
                               d->BandCount);
}

}  // namespace

uint32_t AudioDecodeBlock(AudioBlockDecoder* d, const uint8_t* start, const uint8_t* end) {
  const uint32_t n = d->FrameSamples, channels = d->DecodeChannels;
  const bool dct = (d->Flags & AudioFlagDct) != 0;
  alignas(32) float samples[kAudioMaxBlockFloats];
  std::fill(samples, samples + n * channels, 0.0f);

  AudioBitReader reader;
  AudioBitReaderInit(&reader, start, end);
  uint32_t ignored;
  if (dct && !AudioReadBits(&reader, 2, &ignored)) return 0;  // no input at all
  // Reading stops at the first field the input cannot complete; what was read still plays.
  for (uint32_t c = 0; c < channels; ++c) {
    if (!AudioReadChannel(d, &reader, samples + c * n)) break;
  }
  for (uint32_t c = 0; c < channels; ++c) {
    float* channel = samples + c * n;
    if (dct) {
      AudioInverseDct(n, channel, d->TransformWork, d->TransformTable);
    } else {
      AudioInverseRealDft(n, channel, d->TransformWork, d->TransformTable);
    }
  }
  AudioStorePcm(samples, n, channels, d->OutputScale, d->PcmBuffer);
  return AudioBitReaderUsedBytes(&reader);
}
