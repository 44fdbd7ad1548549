// Helpers of the pixel tests: an independent per-pixel model of every surface type, and small
// open movies whose planes the tests fill themselves.
#pragma once

#include <cstdint>
#include <vector>

#include "vexa/vexa.h"

// 8-bit R, G, B of one pixel without dither (the 24- and 32-bit types).
struct TestRgb {
  int R, G, B;
};
TestRgb TestYuvToRgb(int y, int u, int v);

// The bytes one source pixel becomes on a surface type. x and y are the pixel's absolute
// column and row (they choose the dither and, for packed YUV, which half of the pair).
// widthDoubled: the pixel as written by the width-doubling modes.
struct TestSample {
  int Y, U, V, A;   // U: blue difference, V: red difference; A < 0: no alpha plane
};
std::vector<uint8_t> TestExpectedPixel(uint32_t type, TestSample s, uint32_t x, uint32_t y,
                                       bool widthDoubled);
// Bytes per pixel of a surface type (0 for type 15).
uint32_t TestBytesPerPixel(uint32_t type);

// A movie opened from memory whose planes hold pseudo-random or chosen values.
struct TestPictureMovie {
  std::vector<uint8_t> Image;
  Movie* M = nullptr;
};
// Opens a movie of the given stored size with extra open flags (scaling mode, OpenAlpha,
// OpenGrayscale). Returns 0 on failure.
int TestOpenPictureMovie(TestPictureMovie* t, uint32_t width, uint32_t height,
                         uint32_t openFlags = 0);
void TestClosePictureMovie(TestPictureMovie* t);
// Fills every plane of the current set with pseudo-random bytes from seed.
void TestFillPlanesRandom(Movie* m, uint32_t seed);
// Sets every byte of one plane of the current set to value.
void TestFillPlane(Movie* m, int plane, uint8_t value);
// The sample of stored pixel (x, y) of the current set as the copy sees it by default (the first
// chroma plane is V, the second U).
TestSample TestSampleAt(const Movie* m, uint32_t x, uint32_t y);
