// Helpers of the sound tests: WAV files collected in memory per track, and reading them back.
#pragma once

#include <map>
#include <vector>

#include "vexa/vexa.h"

// While it lives, gives every channel opened a WAV file in memory of `capacity` bytes, keyed by
// its track's identifier (WAV_NO_TRACK for channels outside a movie), or declines (Refuse).
struct TestWavFiles {
  explicit TestWavFiles(uint64_t capacity = 4u << 20);
  ~TestWavFiles() { WavSetSinkChooser(nullptr, nullptr); }
  std::vector<uint8_t> Bytes(uint32_t id) const;  // what the file holds
  uint64_t Capacity;
  int Refuse = 0;
  std::vector<uint32_t> FileIndices;  // as the chooser saw them, in order
  std::map<uint32_t, std::pair<std::vector<uint8_t>, WavMemory>> Files;
};

// A canonical 44-byte header's RIFF size, format, channels, rate, byte rate, block align, bits
// and data size (none when not canonical); the samples after it, as many as its data size says.
std::vector<uint32_t> TestWavFields(const std::vector<uint8_t>& file);
std::vector<uint8_t> TestWavData(const std::vector<uint8_t>& file);
