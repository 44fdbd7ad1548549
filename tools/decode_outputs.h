// The files `vexa decode` writes: YUV4MPEG2 or raw I420 video, raw alpha, raw surface copies and
// PNG pictures.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "vexa/vexa.h"

struct DecodeOutputs {
  FILE* Video = nullptr;   // Y4M or raw I420
  bool Y4m = false;
  FILE* Alpha = nullptr;   // raw alpha planes
  FILE* Surface = nullptr; // raw MovieCopyToSurface results
  uint32_t SurfaceFlags = 0;
  std::string PngDir;
  std::vector<uint8_t> Buffer;  // scratch for copies and cropped rows
};

// Bytes from one row of a width-pixel surface of the type to the next (planar: of the luma plane,
// even); SurfaceBytes: the whole surface (planar: luma, then V and U at half the pitch and rows).
uint64_t SurfacePitch(uint32_t width, uint32_t type);
uint64_t SurfaceBytes(uint32_t width, uint32_t height, uint32_t type);
// Why a width x height surface of the type is too large to write, or "".
std::string SurfaceSizeError(uint32_t width, uint32_t height, uint32_t type);

// Writes the stream header (Y4M only).
int DecodeWriteHeader(DecodeOutputs* out, const Movie* movie);
// Writes the current picture to every output; 0 with *error set on failure.
int DecodeWriteFrame(DecodeOutputs* out, Movie* movie, uint32_t frame, std::string* error);
// Closes the files; 0 when a write failed.
int DecodeCloseOutputs(DecodeOutputs* out);
