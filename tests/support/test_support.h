// Helpers shared by the tests: temporary files and small movies made with the movie writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encoder/movie_writer.h"

// A fresh directory under the system's temporary directory, removed with its files at exit, and
// a new file in it holding bytes (returns its path).
std::string TestTempDir();
std::string TestWriteFile(const std::string& name, const std::vector<uint8_t>& bytes);

// A movie in the writer's configuration of Frames frames of VideoBytes pseudo-random bytes, each
// with AudioBytes of sound per track; every KeyEvery-th frame is a key frame.
struct TestMovieShape {
  MovieWriterConfig Config;
  uint32_t Frames = 10, VideoBytes = 1000, KeyEvery = 1, AudioBytes = 0;
};
std::vector<uint8_t> TestMakeMovie(const TestMovieShape& shape);

// The bytes of frame k's packet in an image made by TestMakeMovie; a little-endian 32-bit field
// of an image, overwritten or read.
std::vector<uint8_t> TestFramePacket(const std::vector<uint8_t>& image, uint32_t frame);
void TestPutLe32(std::vector<uint8_t>* image, size_t offset, uint32_t value);
uint32_t TestGetLe32(const std::vector<uint8_t>& image, size_t offset);

// A clock the tests move by hand, read by the library's timer (MovieTimerMs) while in use; its
// readings start at 1000 ms. TestClockUse(false) gives the timer back its platform clocks.
void TestClockUse(bool use);
void TestClockAdvance(uint32_t ms);

// An open read handle of the platform's own kind (a HANDLE on Windows, a descriptor elsewhere),
// positioned at offset, for OpenFromHandle; null on failure.
const void* TestOpenHandle(const std::string& path, uint32_t offset);
int64_t TestHandlePosition(const void* handle);  // -1 when the handle is not open
void TestCloseHandle(const void* handle);
