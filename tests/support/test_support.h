// Helpers shared by the tests: temporary files, small movies, a hand-driven clock, OS handles.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encoder/movie_writer.h"
#include "encoder/video_encoder.h"

// A directory removed with its files at exit, and a new file in it holding bytes (its path).
std::string TestTempDir();
std::string TestWriteFile(const std::string& name, const std::vector<uint8_t>& bytes);

// Frames frames of VideoBytes random bytes and AudioBytes per track; every KeyEvery-th is a key.
struct TestMovieShape {
  MovieWriterConfig Config;
  uint32_t Frames = 10, VideoBytes = 1000, KeyEvery = 1, AudioBytes = 0;
};
std::vector<uint8_t> TestMakeMovie(const TestMovieShape& shape);

// Frames encoded pictures at 25 frames a second; paint fills frame k's luma plane and its U and V
// planes of (Width + 1) / 2 x (Height + 1) / 2 bytes. Empty when the encoder refuses the config.
using TestPaint = void (*)(uint32_t k, uint32_t w, uint32_t h, uint8_t* y, uint8_t* u, uint8_t* v);
std::vector<uint8_t> TestEncodeMovie(const VideoEncoderConfig& config, uint32_t frames,
                                     TestPaint paint);

// Frame k's packet in an image made by TestMakeMovie; a little-endian 32-bit field of an image.
std::vector<uint8_t> TestFramePacket(const std::vector<uint8_t>& image, uint32_t frame);
void TestPutLe32(std::vector<uint8_t>* image, size_t offset, uint32_t value);
uint32_t TestGetLe32(const std::vector<uint8_t>& image, size_t offset);

// While in use, the library's timer reads a clock that starts at 1000 ms and moves by hand.
void TestClockUse(bool use);
void TestClockAdvance(uint32_t ms);

// A read handle of the platform's kind (HANDLE or descriptor) at offset, for OpenFromHandle.
const void* TestOpenHandle(const std::string& path, uint32_t offset);
int64_t TestHandlePosition(const void* handle);  // -1 when the handle is not open
void TestCloseHandle(const void* handle);
