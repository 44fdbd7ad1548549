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
  std::vector<uint8_t> Bytes() const {
    return std::vector<uint8_t>(Buffer.begin(), Buffer.begin() + long(Memory.Size));
  }
};

// Installs a chooser that gives every channel a fresh memory file of `capacity` bytes, keyed
// by the track's identifier (WAV_NO_TRACK for channels outside a movie); removes it when done.
struct TestWavFiles {
  explicit TestWavFiles(uint64_t capacity = 4u << 20);
  ~TestWavFiles();
  uint64_t Capacity;
  int Refuse = 0;                                        // the chooser declines every channel
  std::vector<uint32_t> FileIndices;                     // as the chooser saw them, in order
  std::map<uint32_t, std::unique_ptr<TestWavFile>> Files;
};

// The fields of a canonical 44-byte WAV header.
struct TestWavHeader {
  bool Canonical = false;  // RIFF/WAVE/fmt /data tags, 16-byte PCM format chunk
  uint32_t RiffBytes = 0, Format = 0, Channels = 0, Rate = 0, ByteRate = 0, BlockAlign = 0;
  uint32_t Bits = 0, DataBytes = 0;
};
TestWavHeader TestReadWavHeader(const std::vector<uint8_t>& file);

// The samples after the header (dataBytes of them, or what the file holds).
std::vector<uint8_t> TestWavData(const std::vector<uint8_t>& file);
