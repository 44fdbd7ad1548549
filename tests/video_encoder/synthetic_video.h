// Moving natural-looking test pictures for the video encoder's tests and benchmarks.
#pragma once

#include <cstdint>
#include <vector>

#include "encoder/video_encoder.h"

struct SyntheticPicture {
  std::vector<uint8_t> Planes[VideoEncoderPlaneCount];  // Y, U, V, A; chroma (w+1)/2 x (h+1)/2
  VideoEncoderPicture Picture{};                        // points into Planes
};

// Frame `frame` (0-based) of the sequence; `seed` varies the texture and noise.
void SyntheticMakePicture(SyntheticPicture* p, uint32_t width, uint32_t height, uint32_t frame,
                          uint32_t seed);
