#include "tests/sound/wav_test_support.h"

#include <algorithm>
#include <cstring>

static int ChooseMemoryFile(void* user, Movie* movie, uint32_t fileIndex, WavSink* sink) {
  TestWavFiles* files = static_cast<TestWavFiles*>(user);
  files->FileIndices.push_back(fileIndex);
  if (files->Refuse) return 0;
  const uint32_t id = fileIndex == WAV_NO_TRACK ? WAV_NO_TRACK : movie->TrackIds[fileIndex];
  auto& [buffer, memory] = files->Files[id];
  buffer.assign(files->Capacity, 0);
  memory = {buffer.data(), files->Capacity, 0, 0, 0};
  return WavMemorySink(&memory, sink), 1;
}

static uint32_t Le(const std::vector<uint8_t>& f, size_t at, int bytes) {
  return bytes == 2 ? uint32_t(f[at] | f[at + 1] << 8) : Le(f, at, 2) | Le(f, at + 2, 2) << 16;
}

TestWavFiles::TestWavFiles(uint64_t capacity) : Capacity(capacity) {
  WavSetSinkChooser(ChooseMemoryFile, this);
}

std::vector<uint8_t> TestWavFiles::Bytes(uint32_t id) const {
  const auto& [buffer, memory] = Files.at(id);
  return {buffer.begin(), buffer.begin() + long(memory.Size)};
}

std::vector<uint32_t> TestWavFields(const std::vector<uint8_t>& f) {
  if (f.size() < 44 || std::memcmp(f.data(), "RIFF", 4) || std::memcmp(&f[8], "WAVEfmt ", 8) ||
      Le(f, 16, 4) != 16 || std::memcmp(&f[36], "data", 4))
    return {};
  return {Le(f, 4, 4),  Le(f, 20, 2), Le(f, 22, 2), Le(f, 24, 4),
          Le(f, 28, 4), Le(f, 32, 2), Le(f, 34, 2), Le(f, 40, 4)};
}

std::vector<uint8_t> TestWavData(const std::vector<uint8_t>& f) {
  const size_t end = f.size() < 44 ? 0 : std::min(f.size(), 44 + size_t(Le(f, 40, 4)));
  return end ? std::vector<uint8_t>(f.begin() + 44, f.begin() + long(end)) : std::vector<uint8_t>{};
}
