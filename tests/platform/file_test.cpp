// Files: reading, seeking, the end, refusals, borrowed handles, files others are writing.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "test_util.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// A caller's own open file, in the OS's terms: what PlatformFileFromHandle borrows.
class NativeFile {
 public:
  explicit NativeFile(const std::string& name, bool write = false) {
#if defined(_WIN32)
    handle_ = CreateFileA(name.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    open_ = handle_ != INVALID_HANDLE_VALUE;
#else
    fd_ = open(name.c_str(), write ? O_WRONLY : O_RDONLY);
    open_ = fd_ >= 0;
#endif
  }
  NativeFile(const NativeFile&) = delete;
  NativeFile& operator=(const NativeFile&) = delete;
  ~NativeFile() { Close(); }

  bool IsOpen() const { return open_; }
  const void* Handle() const {
#if defined(_WIN32)
    return handle_;
#else
    return reinterpret_cast<const void*>(static_cast<intptr_t>(fd_));
#endif
  }
  std::vector<uint8_t> Read(uint32_t size) {
    std::vector<uint8_t> bytes(size);
#if defined(_WIN32)
    DWORD got = 0;
    if (!ReadFile(handle_, bytes.data(), size, &got, nullptr)) got = 0;
#else
    ssize_t got = read(fd_, bytes.data(), size);
    if (got < 0) got = 0;
#endif
    bytes.resize(static_cast<size_t>(got));
    return bytes;
  }
  // True when the handle was still open, so that closing it worked.
  bool Close() {
    if (!open_) return false;
    open_ = false;
#if defined(_WIN32)
    return CloseHandle(handle_) != 0;
#else
    return close(fd_) == 0;
#endif
  }

 private:
  bool open_ = false;
#if defined(_WIN32)
  HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
  int fd_ = -1;
#endif
};

uint8_t ByteAt(size_t i) { return static_cast<uint8_t>(i * 7 + i / 251); }

class PlatformFileTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kSize = 100000;

  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("vexa_platform_" + std::to_string(PlatformCounterNow()) + "_" + test->name());
    std::filesystem::create_directories(dir_);
    name_ = (dir_ / "movie.bin").string();
    std::ofstream out(name_, std::ios::binary);
    for (size_t i = 0; i < kSize; ++i) out.put(static_cast<char>(ByteAt(i)));
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  static void ExpectContent(const std::vector<uint8_t>& bytes, size_t from) {
    for (size_t i = 0; i < bytes.size(); ++i) {
      ASSERT_EQ(bytes[i], ByteAt(from + i)) << "at byte " << from + i;
    }
  }
  static std::vector<uint8_t> Read(PlatformFile* f, uint32_t size) {
    std::vector<uint8_t> bytes(size);
    bytes.resize(PlatformFileRead(f, bytes.data(), size));
    return bytes;
  }

  std::filesystem::path dir_;
  std::string name_;
};

TEST_F(PlatformFileTest, ReadsSeeksAndStopsShortAtTheEnd) {
  PlatformFile* f = PlatformFileOpenRead(name_.c_str());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(PlatformFileSize(f), kSize);
  EXPECT_EQ(PlatformFileTell(f), 0);

  auto bytes = Read(f, 1000);
  ASSERT_EQ(bytes.size(), 1000u);
  ExpectContent(bytes, 0);
  EXPECT_EQ(PlatformFileTell(f), 1000);

  ASSERT_EQ(PlatformFileSeek(f, 54321), 1);
  EXPECT_EQ(PlatformFileTell(f), 54321);
  bytes = Read(f, 17);
  ASSERT_EQ(bytes.size(), 17u);
  ExpectContent(bytes, 54321);

  ASSERT_EQ(PlatformFileSeek(f, kSize - 10), 1);
  bytes = Read(f, 100);
  ASSERT_EQ(bytes.size(), 10u);  // short at the end
  ExpectContent(bytes, kSize - 10);
  EXPECT_EQ(Read(f, 100).size(), 0u);
  EXPECT_EQ(PlatformFileTell(f), kSize);

  ASSERT_EQ(PlatformFileSeek(f, 0), 1);
  bytes = Read(f, kSize);  // all in one call
  ASSERT_EQ(bytes.size(), kSize);
  ExpectContent(bytes, 0);
  PlatformFileClose(f);
}

TEST_F(PlatformFileTest, SeeksPastTheEndReadNothing) {
  PlatformFile* f = PlatformFileOpenRead(name_.c_str());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(PlatformFileSeek(f, int64_t{kSize} + 5000), 1);
  EXPECT_EQ(Read(f, 10).size(), 0u);
  EXPECT_EQ(PlatformFileSeek(f, -1), 0);
  PlatformFileClose(f);
}

TEST_F(PlatformFileTest, RefusesMissingFilesAndDirectories) {
  EXPECT_EQ(PlatformFileOpenRead((dir_ / "missing.vxa").string().c_str()), nullptr);
  EXPECT_EQ(PlatformFileOpenRead(dir_.string().c_str()), nullptr);
  EXPECT_EQ(PlatformFileOpenRead(""), nullptr);
  EXPECT_EQ(PlatformFileOpenRead(nullptr), nullptr);
}

TEST_F(PlatformFileTest, BorrowedHandleKeepsItsPositionAndStaysOpen) {
  NativeFile native(name_);
  ASSERT_TRUE(native.IsOpen());
  ASSERT_EQ(native.Read(10).size(), 10u);

  PlatformFile* f = PlatformFileFromHandle(native.Handle());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(PlatformFileTell(f), 10);
  EXPECT_EQ(PlatformFileSize(f), kSize);
  auto bytes = Read(f, 5);
  ASSERT_EQ(bytes.size(), 5u);
  ExpectContent(bytes, 10);
  PlatformFileClose(f);

  // The caller's handle is still open, and at the position the borrowed reads left.
  bytes = native.Read(5);
  ASSERT_EQ(bytes.size(), 5u);
  ExpectContent(bytes, 15);
  EXPECT_TRUE(native.Close());
}

TEST_F(PlatformFileTest, OpensAFileSomeoneIsWriting) {
  NativeFile writer(name_, true);
  ASSERT_TRUE(writer.IsOpen());
  PlatformFile* f = PlatformFileOpenRead(name_.c_str());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(PlatformFileSize(f), kSize);
  ExpectContent(Read(f, 64), 0);
  PlatformFileClose(f);
}

TEST_F(PlatformFileTest, TwoReadersHaveTheirOwnPositions) {
  PlatformFile* a = PlatformFileOpenRead(name_.c_str());
  PlatformFile* b = PlatformFileOpenRead(name_.c_str());
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(PlatformFileSeek(a, 500), 1);
  ExpectContent(Read(b, 8), 0);
  ExpectContent(Read(a, 8), 500);
  PlatformFileClose(a);
  PlatformFileClose(b);
}

// A pipe delivers what was written in pieces: one PlatformFileRead still gathers all that was asked
// for, and then stops at the end.
TEST(PlatformFilePipe, ReadGathersPiecesUntilTheEnd) {
  constexpr uint32_t kPiece = 1000;
  constexpr int kPieces = 3;
  std::vector<uint8_t> written(kPiece * kPieces);
  for (size_t i = 0; i < written.size(); ++i) written[i] = ByteAt(i);
#if defined(_WIN32)
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
  const void* handle = readEnd;
  auto writePiece = [&](int i) {
    DWORD done = 0;
    WriteFile(writeEnd, written.data() + i * kPiece, kPiece, &done, nullptr);
  };
  auto closeWriter = [&] { CloseHandle(writeEnd); };
  auto closeReader = [&] { return CloseHandle(readEnd) != 0; };
#else
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const void* handle = reinterpret_cast<const void*>(static_cast<intptr_t>(ends[0]));
  auto writePiece = [&](int i) {
    ASSERT_EQ(write(ends[1], written.data() + i * kPiece, kPiece), static_cast<ssize_t>(kPiece));
  };
  auto closeWriter = [&] { close(ends[1]); };
  auto closeReader = [&] { return close(ends[0]) == 0; };
#endif
  std::thread writer([&] {
    for (int i = 0; i < kPieces; ++i) {
      writePiece(i);
      PlatformSleepMs(20);
    }
    closeWriter();
  });
  PlatformFile* f = PlatformFileFromHandle(handle);
  ASSERT_NE(f, nullptr);
  std::vector<uint8_t> bytes(written.size() + 10);
  EXPECT_EQ(PlatformFileRead(f, bytes.data(), static_cast<uint32_t>(written.size())),
            written.size());
  bytes.resize(written.size());
  EXPECT_EQ(bytes, written);
  uint8_t more[10];
  EXPECT_EQ(PlatformFileRead(f, more, sizeof more), 0u);  // the writer has gone
  PlatformFileClose(f);
  writer.join();
  EXPECT_TRUE(closeReader());  // still open after PlatformFileClose
}

}  // namespace
