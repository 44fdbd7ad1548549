// The audio encoder's packets: blocks laid out so the decoder's crossfades line up.
#include "encoder/audio_encoder.h"

#include <algorithm>
#include <cstddef>

#include "platform/mem.h"
#include "vexa/movie.h"

namespace {

uint32_t AudioBlockValues(const AudioEncoder* e) { return e->Shape->BlockBytes / 2; }
uint32_t AudioHopValues(const AudioEncoder* e) { return AudioBlockOutputBytes(e->Shape) / 2; }

void AudioPutCount(std::vector<uint8_t>* packet, uint32_t bytes) {
  for (size_t i = 0; i < 4; ++i) (*packet)[i] = static_cast<uint8_t>(bytes >> (8 * i));
}

}  // namespace

int AudioEncoderInit(AudioEncoder* e, const AudioEncoderConfig& config) {
  e->Config = config;
  e->Shape = nullptr;
  e->Pending.clear();
  if (config.Quality < 1 || config.Quality > 100 || config.Rate > 0xFFFF) return 0;
  e->Shape = AudioDecoderOpen(config.Rate, config.Channels, config.Flags & AudioFlagDct);
  return e->Shape != nullptr;
}

void AudioEncoderFree(AudioEncoder* e) {
  MemFree(e->Shape);
  e->Shape = nullptr;
  e->Pending.clear();
}

std::vector<uint8_t> AudioEncodePacket(AudioEncoder* e, const int16_t* pcm, uint32_t frames) {
  e->Pending.insert(e->Pending.end(), pcm, pcm + size_t{frames} * e->Config.Channels);
  std::vector<uint8_t> packet(4, 0);
  const size_t blockValues = AudioBlockValues(e), hop = AudioHopValues(e);
  size_t start = 0;
  while (e->Pending.size() - start >= blockValues) {
    AudioEncodeBlock(e, e->Pending.data() + start, &packet);
    start += hop;
  }
  e->Pending.erase(e->Pending.begin(), e->Pending.begin() + static_cast<ptrdiff_t>(start));
  AudioPutCount(&packet, static_cast<uint32_t>(start * 2));
  return packet;
}

std::vector<uint8_t> AudioEncodeFlush(AudioEncoder* e) {
  std::vector<uint8_t> packet(4, 0);
  const size_t real = e->Pending.size(), hop = AudioHopValues(e);
  std::vector<int16_t> block(AudioBlockValues(e));
  for (size_t start = 0; start < real; start += hop) {
    std::fill(block.begin(), block.end(), int16_t{0});
    std::copy(e->Pending.begin() + static_cast<ptrdiff_t>(start),
              e->Pending.begin() + static_cast<ptrdiff_t>(std::min(real, start + block.size())),
              block.begin());
    AudioEncodeBlock(e, block.data(), &packet);
  }
  e->Pending.clear();
  AudioPutCount(&packet, static_cast<uint32_t>(real * 2));
  return packet;
}

uint32_t AudioEncoderMaxPacketBytes(const AudioEncoder* e, uint32_t framesPerPacket) {
  // Fewer than a block's values wait between packets, so a packet's input completes at most
  // ceil(values / hop) blocks; the last packet announces fewer than a block's values.
  const uint64_t values = uint64_t{framesPerPacket} * e->Config.Channels;
  const uint64_t hop = AudioHopValues(e), blocks = (values + hop - 1) / hop;
  const uint64_t most = std::max(blocks * hop * 2, uint64_t{e->Shape->BlockBytes} - 2);
  return static_cast<uint32_t>(std::min<uint64_t>(most, UINT32_MAX));
}

uint32_t AudioEncoderTrackFormat(const AudioEncoderConfig& config) {
  const uint32_t variant = (config.Flags & AudioFlagDct) != 0 ? TrackDct : TrackAudio;
  return variant | (config.Channels == 2 ? TrackStereo : 0) | Track16Bit |
         (config.Rate & TrackRateMask);
}

void AudioMergePackets(std::vector<uint8_t>* packet, const std::vector<uint8_t>& next) {
  if (next.size() < 4) return;
  if (packet->size() < 4) {
    *packet = next;
    return;
  }
  auto count = [](const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  };
  uint32_t total = count(packet->data()) + count(next.data());
  for (int i = 0; i < 4; ++i) (*packet)[i] = uint8_t(total >> (8 * i));
  packet->insert(packet->end(), next.begin() + 4, next.end());
}
