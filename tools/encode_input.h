// Pictures for `vexa encode`: a YUV4MPEG2 stream or a sequence of PNG files (converted from RGB
// with the inverse of the player's colour formula: BT.601, limited range).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/y4m.h"

struct EncodeInput {
  bool Png = false;
  Y4mReader Y4m;
  std::vector<std::string> PngFiles;  // in frame order
  size_t NextPng = 0;
  bool PngAlpha = false;              // keep the PNGs' alpha channel
  uint32_t Width = 0, Height = 0;
  uint32_t RateNum = 25, RateDen = 1;  // the Y4M's rate (PNG sequences: 25/1)
};

// Opens a .y4m file (or "-" for standard input), a directory of .png files (in name order) or a
// printf pattern such as "frames/%04d.png" (numbered from 0 or 1). 0 with *error set on failure.
int EncodeInputOpen(EncodeInput* in, const std::string& source, bool pngAlpha, std::string* error);
// The next picture and, for PNGs with alpha kept, its alpha plane. 0 at the end (*error empty)
// or on failure (*error set), also when a picture's size differs from the first one's.
int EncodeInputRead(EncodeInput* in, YuvPicture* picture, std::vector<uint8_t>* alpha,
                    std::string* error);
void EncodeInputClose(EncodeInput* in);

// Converts RGBA pixels (rows of width x 4 bytes) to a 4:2:0 picture.
void RgbaToYuv(const uint8_t* rgba, uint32_t width, uint32_t height, YuvPicture* picture);
