// Helpers of the audio encoder tests (and of the sound tests and the audio benchmark): a
// music-like test signal, and encoding and decoding in packets the way a movie carries them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "encoder/audio_encoder.h"
#include "platform/mem.h"

// Decaying chords changing every quarter second over a bass line; each channel voiced its own way.
inline std::vector<int16_t> TestMusicLike(uint32_t rate, uint32_t channels, double seconds) {
  const auto frames = uint32_t(rate * seconds);
  std::vector<int16_t> pcm(size_t{frames} * channels);
  const double roots[4] = {220.0, 261.63, 196.0, 246.94};
  for (uint32_t i = 0; i < frames; ++i) {
    const double t = double(i) / rate, root = roots[int(t * 4) % 4];
    const double decay = std::exp(-std::fmod(t * 4, 1.0) / 4 * 6);
    for (uint32_t c = 0; c < channels; ++c) {
      double value = 3000 * std::sin(2 * M_PI * root / 4 * t);
      for (double ratio : {1.0, 1.25, 1.5, c == 0 ? 2.0 : 1.875}) {
        for (int h = 1; h <= 6 && h * (root * ratio) < rate / 2.0; ++h)
          value += decay * 2500 / h * std::sin(2 * M_PI * h * (root * ratio) * t + c);
      }
      pcm[size_t{i} * channels + c] = int16_t(std::clamp(value, -32768.0, 32767.0));
    }
  }
  return pcm;
}

// Encodes in packets of one 25 fps video frame each, then flushes.
inline std::vector<std::vector<uint8_t>> TestEncode(const AudioEncoderConfig& config,
                                                    const std::vector<int16_t>& pcm) {
  AudioEncoder e;
  std::vector<std::vector<uint8_t>> packets;
  if (!AudioEncoderInit(&e, config)) return packets;
  const uint32_t frames = uint32_t(pcm.size() / config.Channels), perPacket = config.Rate / 25;
  for (uint32_t f = 0; f < frames; f += perPacket)
    packets.push_back(AudioEncodePacket(&e, pcm.data() + size_t{f} * config.Channels,
                                        std::min(perPacket, frames - f)));
  packets.push_back(AudioEncodeFlush(&e));
  AudioEncoderFree(&e);
  return packets;
}

inline uint32_t TestPacketCount(const std::vector<uint8_t>& p) {
  return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

// Decodes packets as the core does: blocks joined while the packet's count of decoded bytes lasts,
// each adding at most its output bytes. *unread (if given) counts the bytes no block took.
inline std::vector<int16_t> TestDecode(const AudioEncoderConfig& config,
                                       const std::vector<std::vector<uint8_t>>& packets,
                                       size_t* unread = nullptr) {
  AudioBlockDecoder* d = AudioDecoderOpen(config.Rate, config.Channels, config.Flags);
  std::vector<int16_t> out;
  for (const std::vector<uint8_t>& packet : packets) {
    size_t p = 4;
    for (uint32_t remaining = TestPacketCount(packet); remaining > 0;) {
      const uint32_t used = AudioDecodeBlock(d, packet.data() + p, packet.data() + packet.size());
      if (used == 0) break;
      AudioJoinBlock(d);
      const uint32_t bytes = std::min(remaining, AudioBlockOutputBytes(d));
      out.insert(out.end(), d->PcmBuffer, d->PcmBuffer + bytes / 2);
      remaining -= bytes;
      p += used;
    }
    if (unread != nullptr) *unread += packet.size() - p;
  }
  MemFree(d);
  return out;
}
