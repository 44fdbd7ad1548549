// Helpers of the audio encoder tests: test signals, a packet decoder that mirrors the core's
// packet loop, and the signal-to-noise ratio.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "platform/mem.h"
#include "encoder/audio_encoder.h"

// Speech-like sound: a voiced source with a gliding pitch, shaped by three moving formants,
// in syllables of four a second, with a noisy fricative at every third syllable.
inline std::vector<int16_t> TestSpeechLike(uint32_t rate, uint32_t channels, double seconds) {
  const auto frames = static_cast<uint32_t>(rate * seconds);
  std::vector<int16_t> pcm(size_t{frames} * channels);
  std::mt19937 rng(rate);
  std::normal_distribution<double> noise(0.0, 1.0);
  double phase = 0;
  for (uint32_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double syllable = std::fmod(t * 4, 1.0);
    const double envelope = std::sin(M_PI * syllable);
    const double f0 = 120 + 40 * std::sin(2 * M_PI * 1.3 * t);
    phase += 2 * M_PI * f0 / rate;
    const double formants[3] = {500 + 300 * std::sin(2 * M_PI * 2 * t), 1500 + 500 * std::sin(2 * M_PI * 3 * t), 2500};
    double voiced = 0;
    for (int h = 1; h * f0 < rate / 2.0 && h < 40; ++h) {
      double gain = 0;
      for (double f : formants) gain += std::exp(-std::pow((h * f0 - f) / 150.0, 2));
      voiced += gain * std::sin(h * phase) / std::sqrt(h);
    }
    const bool fricative = static_cast<int>(t * 4) % 3 == 2;
    const double value = envelope * (fricative ? 1500 * noise(rng) : 4000 * voiced);
    for (uint32_t c = 0; c < channels; ++c) {
      pcm[size_t{i} * channels + c] =
          static_cast<int16_t>(std::clamp(value * (c == 0 ? 1.0 : 0.7), -32768.0, 32767.0));
    }
  }
  return pcm;
}

// Music-like sound: chords of harmonic notes that change every quarter second and decay, over
// a bass line; the right channel has its own voicing.
inline std::vector<int16_t> TestMusicLike(uint32_t rate, uint32_t channels, double seconds) {
  const auto frames = static_cast<uint32_t>(rate * seconds);
  std::vector<int16_t> pcm(size_t{frames} * channels);
  const double roots[4] = {220.0, 261.63, 196.0, 246.94};
  for (uint32_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const int chord = static_cast<int>(t * 4) % 4;
    const double age = std::fmod(t * 4, 1.0) / 4;
    const double decay = std::exp(-age * 6);
    for (uint32_t c = 0; c < channels; ++c) {
      double value = 3000 * std::sin(2 * M_PI * roots[chord] / 4 * t);
      for (double ratio : {1.0, 1.25, 1.5, c == 0 ? 2.0 : 1.875}) {
        const double f = roots[chord] * ratio;
        for (int h = 1; h <= 6 && h * f < rate / 2.0; ++h) {
          value += decay * 2500 / h * std::sin(2 * M_PI * h * f * t + c);
        }
      }
      pcm[size_t{i} * channels + c] = static_cast<int16_t>(std::clamp(value, -32768.0, 32767.0));
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
  const uint32_t frames = static_cast<uint32_t>(pcm.size() / config.Channels);
  const uint32_t perPacket = config.Rate / 25;
  for (uint32_t f = 0; f < frames; f += perPacket) {
    const uint32_t count = std::min(perPacket, frames - f);
    packets.push_back(AudioEncodePacket(&e, pcm.data() + size_t{f} * config.Channels, count));
  }
  packets.push_back(AudioEncodeFlush(&e));
  AudioEncoderFree(&e);
  return packets;
}

inline uint32_t TestPacketCount(const std::vector<uint8_t>& packet) {
  uint32_t count;
  std::memcpy(&count, packet.data(), 4);
  return count;
}

// Decodes packets the way the core does: blocks while the packet's count of decoded bytes
// lasts, each joined to the previous one and contributing at most its output bytes.
inline std::vector<int16_t> TestDecode(const AudioEncoderConfig& config,
                                       const std::vector<std::vector<uint8_t>>& packets) {
  AudioBlockDecoder* d = AudioDecoderOpen(config.Rate, config.Channels, config.Flags);
  std::vector<int16_t> out;
  for (const std::vector<uint8_t>& packet : packets) {
    uint32_t remaining = TestPacketCount(packet);
    size_t p = 4;
    while (remaining > 0) {
      const uint32_t used = AudioDecodeBlock(d, packet.data() + p, packet.data() + packet.size());
      if (used == 0) break;
      AudioJoinBlock(d);
      const uint32_t bytes = std::min(remaining, AudioBlockOutputBytes(d));
      out.insert(out.end(), d->PcmBuffer, d->PcmBuffer + bytes / 2);
      remaining -= bytes;
      p += used;
    }
  }
  MemFree(d);
  return out;
}

inline double TestSnrDb(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < reference.size(); ++i) {
    const double diff = static_cast<double>(reference[i]) - (i < decoded.size() ? decoded[i] : 0);
    signal += static_cast<double>(reference[i]) * reference[i];
    noise += diff * diff;
  }
  return 10 * std::log10(signal / std::max(noise, 1e-9));
}
