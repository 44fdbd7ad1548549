// Helpers of the sound tests: WAV files collected in memory per track, and reading them back.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "vexa/vexa.h"

// One memory sink's buffer and record.
struct TestWavFile {
  std::vector<uint8_t> Buffer;
  WavMemory Memory = {};
  std::vector<uint8_t> Bytes() const { return {Buffer.begin(), Buffer.begin() + long(Memory.Size)}; }
};

// Installs a chooser that gives every channel a fresh memory file of `capacity` bytes, keyed
// by the track's identifier (WAV_NO_TRACK for channels outside a movie); removes it when done.
struct TestWavFiles {
  explicit TestWavFiles(uint64_t capacity = 4u << 20);
  ~TestWavFiles();
  uint64_t Capacity;
  int Refuse = 0;                     // the chooser declines every channel
  std::vector<uint32_t> FileIndices;  // as the chooser saw them, in order
  std::map<uint32_t, std::unique_ptr<TestWavFile>> Files;
};

// The numbers of a canonical 44-byte header (RIFF, WAVE, a 16-byte "fmt " chunk, "data"): RIFF
// size, format, channels, rate, byte rate, block align, bits, data size; none when not canonical.
std::vector<uint32_t> TestWavFields(const std::vector<uint8_t>& file);
// The samples after the header, as many as its data size says.
std::vector<uint8_t> TestWavData(const std::vector<uint8_t>& file);
