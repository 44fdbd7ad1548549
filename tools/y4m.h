// YUV4MPEG2 streams: reading frames (any of 4:2:0, 4:2:2, 4:4:4 or mono, resampled to 4:2:0)
// and writing 4:2:0.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// A 4:2:0 picture: Y of Width x Height, U and V of (Width + 1) / 2 x (Height + 1) / 2.
struct YuvPicture {
  uint32_t Width = 0, Height = 0;
  std::vector<uint8_t> Y, U, V;
};

struct Y4mReader {
  FILE* File = nullptr;
  std::string Path;
  uint32_t Width = 0, Height = 0;
  uint32_t RateNum = 25, RateDen = 1;
  enum Chroma { C420, C422, C444, Mono } Sampling = C420;
  std::vector<uint8_t> Raw;  // one frame as stored
};

// Opens a stream and reads its header; 0 with *error set when it is not a usable Y4M stream.
int Y4mOpen(Y4mReader* r, const std::string& path, std::string* error);
// Reads the next frame as 4:2:0; 0 at the end of the stream (*error empty) or on a damaged
// frame (*error set).
int Y4mReadFrame(Y4mReader* r, YuvPicture* picture, std::string* error);
void Y4mClose(Y4mReader* r);
