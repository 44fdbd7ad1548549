// Reading WAV files for `vexa encode --audio`: PCM at 8, 16, 24 or 32 bits or IEEE float, mono or
// stereo, any rate the movie format can store, into interleaved signed 16-bit samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct WavSound {
  uint32_t Rate = 0;
  uint32_t Channels = 0;
  std::vector<int16_t> Samples;  // interleaved
  uint32_t Frames() const { return Channels ? uint32_t(Samples.size() / Channels) : 0; }
};

// 0 with *error set when the file cannot be read or holds a form of sound we do not take.
int WavRead(const std::string& path, WavSound* sound, std::string* error);
