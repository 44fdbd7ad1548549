// Helpers for the stream reader's tests: patterned files, a file layer that counts the reader's
// reads and seeks (and can make the device fail at an offset), and readers opened on them.
#pragma once

#include <gtest/gtest.h>

#include <atomic>

#include "io/stream_file.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "vexa/movie.h"

namespace io_test {

constexpr uint32_t kChunk = STREAM_CHUNK_BYTES;

// Bytes of the test files: not periodic in any power of two, so misplaced data shows.
inline std::vector<uint8_t> Pattern(uint64_t from, uint32_t count) {
  std::vector<uint8_t> bytes(count);
  for (uint64_t i = from; i < from + count; ++i) {
    bytes[i - from] = uint8_t((i * 2654435761u) >> 13 ^ (i >> 7));
  }
  return bytes;
}
inline std::string PatternFile(uint32_t size) {
  return TestWriteFile("pattern-" + std::to_string(size) + ".bin", Pattern(0, size));
}

inline std::atomic<uint32_t> gReads{0}, gSeeks{0};
inline std::atomic<int64_t> gFailAt{-1};  // reads deliver nothing at or past this file offset
inline const StreamFileOps kCountingOps = {
    [](PlatformFile* file, void* dest, uint32_t size) {
      const int64_t at = PlatformFileTell(file), failAt = (++gReads, gFailAt.load());
      if (failAt >= 0 && at + size > failAt) size = at >= failAt ? 0 : uint32_t(failAt - at);
      return PlatformFileRead(file, dest, size);
    },
    [](PlatformFile* file, int64_t offset) { return ++gSeeks, PlatformFileSeek(file, offset); }};

// Installs the counting file layer for the life of a test.
struct CountingFiles : ::testing::Test {
  void SetUp() override { gReads = gSeeks = 0, gFailAt = -1, StreamUseFileOps(&kCountingOps); }
  void TearDown() override { StreamUseFileOps(nullptr); }
};

// A reader with a ring of ringChunks chunks (0: none) in a deliberately misaligned buffer, set
// up the way the movie open does.
struct TestReader {
  StreamReader Reader{};
  StreamReader* r = &Reader;
  std::vector<uint8_t> Buffer;
  bool Open(const std::string& path, uint32_t ringChunks, uint32_t movieLength,
            uint32_t simRate = 0) {
    if (!StreamOpenFile(r, path.c_str(), 0)) return false;
    const uint32_t size = ringChunks ? r->StreamBufferSize(r, ringChunks * kChunk) : 0;
    Buffer.assign(size + 1, 0);
    r->StreamSetBuffer(r, size ? Buffer.data() + 1 : nullptr, size, movieLength, simRate);
    return true;
  }
  uint32_t Fill() { return r->StreamFill(r, 0); }
  uint32_t FillAll() {  // the number of fills that read something
    uint32_t fills = 0;
    while (Fill() != 0) ++fills;
    return fills;
  }
  std::vector<uint8_t> Frame(uint32_t offset, uint32_t size) {
    std::vector<uint8_t> out(size);
    out.resize(r->StreamReadFrame(r, 0, offset, out.data(), size));
    return out;
  }
  ~TestReader() {
    if (r->StreamClose != nullptr) r->StreamClose(r);
  }
};

}  // namespace io_test
