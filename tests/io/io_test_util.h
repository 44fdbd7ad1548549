// Helpers for the stream reader's tests: patterned test files, a file layer that counts (and can
// cut short) the reader's reads and seeks, and readers opened on them.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "io/stream_file.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "vexa/movie.h"

namespace io_test {

constexpr uint32_t kChunk = STREAM_CHUNK_BYTES;

// Byte i of every test file: not periodic in any power of two, so misplaced data shows.
inline uint8_t PatternByte(uint64_t i) {
  return static_cast<uint8_t>((i * 2654435761u) >> 13 ^ (i >> 7));
}
inline std::vector<uint8_t> Pattern(uint64_t from, uint32_t count) {
  std::vector<uint8_t> bytes(count);
  for (uint32_t k = 0; k < count; ++k) bytes[k] = PatternByte(from + k);
  return bytes;
}
inline std::string MakePatternFile(const std::string& name, uint32_t size) {
  return TestWriteFile(name, Pattern(0, size));
}

// Counts the reader's file reads and seeks; reads may be made to stop at an absolute offset of
// the file to act out a file that is shorter than it claims or a failing device.
struct FileCounters {
  std::atomic<uint32_t> Reads{0};
  std::atomic<uint32_t> Seeks{0};
  std::atomic<int64_t> FailAt{-1};  // reads deliver nothing at or past this position
  std::atomic<int64_t> Position{0};
};
inline FileCounters gCounters;

inline uint32_t CountingRead(PlatformFile* file, void* dest, uint32_t size) {
  gCounters.Reads.fetch_add(1);
  const int64_t at = PlatformFileTell(file);
  const int64_t failAt = gCounters.FailAt.load();
  if (failAt >= 0 && at >= 0 && at + size > failAt) size = at >= failAt ? 0 : uint32_t(failAt - at);
  return PlatformFileRead(file, dest, size);
}
inline int CountingSeek(PlatformFile* file, int64_t offset) {
  gCounters.Seeks.fetch_add(1);
  return PlatformFileSeek(file, offset);
}
inline const StreamFileOps kCountingOps = {CountingRead, CountingSeek};

// Installs the counting file layer for the life of a test.
class CountingFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    gCounters.Reads = 0;
    gCounters.Seeks = 0;
    gCounters.FailAt = -1;
    StreamUseFileOps(&kCountingOps);
  }
  void TearDown() override { StreamUseFileOps(nullptr); }
  static uint32_t Reads() { return gCounters.Reads.load(); }
  static uint32_t Seeks() { return gCounters.Seeks.load(); }
};

// A reader over a file with a ring of ringChunks chunks (deliberately misaligned buffer, so that
// the ring's alignment is exercised), set up the way the movie open does.
struct TestReader {
  StreamReader Reader{};
  std::vector<uint8_t> Buffer;
  bool Open = false;

  bool OpenFile(const std::string& path, uint32_t ringChunks, uint32_t fileLength,
                uint32_t simRate = 0) {
    if (!StreamOpenFile(&Reader, path.c_str(), 0)) return false;
    Open = true;
    SetRing(ringChunks, fileLength, simRate);
    return true;
  }
  void SetRing(uint32_t ringChunks, uint32_t fileLength, uint32_t simRate = 0) {
    const uint32_t size = Reader.StreamBufferSize(&Reader, ringChunks * kChunk);
    Buffer.assign(size + 1, 0);
    Reader.StreamSetBuffer(&Reader, Buffer.data() + 1, size, fileLength, simRate);
  }
  uint32_t Fill() { return Reader.StreamFill(&Reader, 0); }
  uint32_t FillAll() {
    uint32_t chunks = 0;
    while (Fill() != 0) ++chunks;
    return chunks;
  }
  std::vector<uint8_t> Frame(uint32_t offset, uint32_t size, uint32_t* got = nullptr) {
    std::vector<uint8_t> out(size);
    const uint32_t n = Reader.StreamReadFrame(&Reader, 0, offset, out.data(), size);
    if (got != nullptr) *got = n;
    out.resize(n);
    return out;
  }
  ~TestReader() {
    if (Open) Reader.StreamClose(&Reader);
  }
};

}  // namespace io_test
