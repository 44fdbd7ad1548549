// Helpers shared by the tests: temporary files and small movies made with the movie writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encoder/movie_writer.h"

// A fresh directory under the system's temporary directory, removed with its files at exit.
std::string TestTempDir();
// Writes bytes to a new file in TestTempDir(); returns its path.
std::string TestWriteFile(const std::string& name, const std::vector<uint8_t>& bytes);

// A movie of `frames` frames whose video data is `videoBytes(k)` pseudo-random bytes for frame k
// (0-based), with the writer's configuration; every `keyEvery`-th frame is a key frame.
struct TestMovieShape {
  MovieWriterConfig Config;
  uint32_t Frames = 10;
  uint32_t VideoBytes = 1000;
  uint32_t KeyEvery = 1;
  uint32_t AudioBytes = 0;  // per track and frame; 0 = none
};
std::vector<uint8_t> TestMakeMovie(const TestMovieShape& shape);

// The bytes of frame k's packet in an image made by TestMakeMovie.
std::vector<uint8_t> TestFramePacket(const std::vector<uint8_t>& image, uint32_t frame);

// Overwrites a little-endian 32-bit field of a file image.
void TestPutLe32(std::vector<uint8_t>* image, size_t offset, uint32_t value);
uint32_t TestGetLe32(const std::vector<uint8_t>& image, size_t offset);

// An open read handle of the platform's own kind (a HANDLE on Windows, a descriptor elsewhere),
// positioned at offset, for OpenFromHandle; null on failure.
const void* TestOpenHandle(const std::string& path, uint32_t offset);
int64_t TestHandlePosition(const void* handle);  // -1 when the handle is not open
void TestCloseHandle(const void* handle);
