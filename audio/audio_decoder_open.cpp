// Opening an audio block decoder: its sizes, band edges and one allocation for everything.
#include <cmath>

#include "audio/audio_decoder.h"
#include "platform/mem.h"

namespace {

struct AudioDecoderSizes {
  uint32_t Base;         // sample frames per block
  uint32_t Length;       // transform length N
  uint64_t Nyquist;      // (effective rate + 1) / 2
  uint32_t Channels;     // coded separately
  uint32_t TableFloats;
};

AudioDecoderSizes AudioComputeSizes(uint32_t rate, uint32_t channels, uint32_t flags) {
  AudioDecoderSizes s{};
  s.Base = rate < 22050 ? 512 : rate < 44100 ? 1024 : 2048;
  const bool dct = (flags & AudioFlagDct) != 0;
  // The real-DFT variant codes the interleaved channels as one signal of rate * channels.
  s.Length = dct ? s.Base : s.Base * channels;
  s.Channels = dct ? channels : 1;
  const uint64_t effectiveRate = dct ? rate : static_cast<uint64_t>(rate) * channels;
  s.Nyquist = (effectiveRate + 1) / 2;
  s.TableFloats =
      dct ? AudioInverseDctTableFloats(s.Length) : AudioInverseRealDftTableFloats(s.Length);
  return s;
}

// The leading band edge frequencies below Nyquist, as bins of the half-length spectrum;
// the first is raised to bin 1, and the list ends with the spectrum's length.
void AudioComputeBandEdges(AudioBlockDecoder* d, uint64_t nyquist) {
  const uint32_t half = d->FrameSamples / 2;
  uint32_t count = 0;
  while (count < kAudioMaxBands && AudioBandEdgeFrequencies[count] < nyquist) ++count;
  d->BandCount = count;
  for (uint32_t i = 0; i < count; ++i) {
    const auto edge = static_cast<uint32_t>(AudioBandEdgeFrequencies[i] * uint64_t{half} / nyquist);
    d->BandEdges[i] = edge == 0 ? 1 : edge;
  }
  d->BandEdges[count] = half;
}

constexpr uint32_t AudioAlign(uint32_t bytes) { return (bytes + 31) & ~31u; }

}  // namespace

AudioBlockDecoder* AudioDecoderOpen(uint32_t rate, uint32_t channels, uint32_t flags) {
  if (rate == 0 || channels < 1 || channels > 2) return nullptr;
  const AudioDecoderSizes sizes = AudioComputeSizes(rate, channels, flags);
  const uint32_t blockBytes = sizes.Base * channels * 2;
  const uint32_t overlapBytes = blockBytes >> 4;

  // One block, 32-byte aligned parts: record, overlap tail, transform work, tables, PCM.
  const uint32_t recordBytes = AudioAlign(sizeof(AudioBlockDecoder));
  const uint32_t overlapAt = recordBytes;
  const uint32_t workAt = overlapAt + AudioAlign(overlapBytes);
  const uint32_t tableAt = workAt + AudioAlign(sizeof(AudioTransformWork));
  const uint32_t pcmAt = tableAt + AudioAlign(sizes.TableFloats * sizeof(float));
  auto* block = static_cast<uint8_t*>(MemAlloc(pcmAt + blockBytes));
  if (block == nullptr) return nullptr;

  auto* d = reinterpret_cast<AudioBlockDecoder*>(block);
  d->FrameSamples = sizes.Length;
  d->OutputScale = 2.0f / std::sqrt(static_cast<float>(sizes.Length));
  d->BlockBytes = blockBytes;
  d->OverlapBytes = overlapBytes;
  d->DecodeChannels = sizes.Channels;
  d->FirstBlock = 1;
  d->PcmBuffer = reinterpret_cast<int16_t*>(block + pcmAt);
  d->OverlapBuffer = reinterpret_cast<int16_t*>(block + overlapAt);
  d->TransformWork = reinterpret_cast<AudioTransformWork*>(block + workAt);
  d->TransformWork->TwiddleCount = 0;  // the first block builds both tables
  d->TransformWork->CosineCount = 0;
  d->TransformTable = reinterpret_cast<float*>(block + tableAt);
  d->Flags = flags;
  AudioComputeBandEdges(d, sizes.Nyquist);
  return d;
}
