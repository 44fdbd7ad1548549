// Files: reading and seeking to the end and past it, refusals, files others are writing, and
// reads that gather a pipe's pieces (borrowed handles are tested with the movie open).
#include <gtest/gtest.h>

#include <fstream>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "tests/support/test_support.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

std::vector<uint8_t> Bytes(size_t from, size_t count) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = uint8_t((from + i) * 7 + (from + i) / 251);
  return bytes;
}

std::vector<uint8_t> Read(PlatformFile* f, uint32_t size) {
  std::vector<uint8_t> bytes(size);
  bytes.resize(PlatformFileRead(f, bytes.data(), size));
  return bytes;
}

constexpr uint32_t kSize = 100000;

TEST(PlatformFile, ReadsFromWhereItSeeksAndStopsShortAtTheEnd) {
  const std::string name = TestWriteFile("file.bin", Bytes(0, kSize));
  std::ofstream writer(name, std::ios::app);  // someone still writing does not stop the reader
  PlatformFile* f = PlatformFileOpenRead(name.c_str());
  ASSERT_TRUE(f != nullptr && PlatformFileSize(f) == kSize);
  const struct { int64_t seek; uint32_t ask, got; } cases[] = {  // seek -1: read on
      {-1, 1000, 1000}, {-1, 17, 17}, {54321, kSize, kSize - 54321}, {-1, 100, 0},
      {0, kSize, kSize}, {kSize - 10, 100, 10}, {kSize + 5000, 10, 0}};
  int64_t at = 0;
  for (const auto& c : cases) {
    if (c.seek >= 0) at = c.seek * PlatformFileSeek(f, c.seek);  // 0 if the seek failed
    EXPECT_EQ(Read(f, c.ask), Bytes(size_t(at), c.got)) << c.seek << " " << c.ask;
    at += c.got;
    EXPECT_EQ(PlatformFileTell(f), at);
  }
  EXPECT_EQ(PlatformFileSeek(f, -1), 0);
  PlatformFileClose(f);
  const std::string missing = TestTempDir() + "/missing.vxa", dir = TestTempDir();
  for (const char* bad : {missing.c_str(), dir.c_str(), "", (const char*)nullptr}) {
    EXPECT_EQ(PlatformFileOpenRead(bad), nullptr) << (bad ? bad : "null");
  }
}

// A pipe delivers writes in pieces: one read gathers all it asked for, then stops at the end.
TEST(PlatformFile, ReadGathersAPipesPiecesUntilTheEnd) {
  const std::vector<uint8_t> written = Bytes(0, 3000);
#if defined(_WIN32)
  HANDLE ends[2];
  ASSERT_TRUE(CreatePipe(&ends[0], &ends[1], nullptr, 0));
  DWORD done = 0;
  auto put = [&](size_t at) { EXPECT_TRUE(WriteFile(ends[1], &written[at], 1000, &done, 0)); };
  auto close = [](HANDLE h) { CloseHandle(h); };
#else
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  auto put = [&](size_t at) { EXPECT_EQ(write(ends[1], &written[at], 1000), 1000); };
#endif
  std::thread writer([&] {
    for (size_t at = 0; at < written.size(); at += 1000) put(at), PlatformSleepMs(20);
    close(ends[1]);
  });
  PlatformFile* f = PlatformFileFromHandle(reinterpret_cast<const void*>(intptr_t(ends[0])));
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(Read(f, 3000), written);
  EXPECT_EQ(Read(f, 10).size(), 0u);
  PlatformFileClose(f), writer.join(), close(ends[0]);
}

}  // namespace
