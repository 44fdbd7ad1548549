// Motion search: the vector (within +-15, the block inside the plane) whose reference block is
// closest to the source block.
#pragma once

#include <cstdint>

#include "encoder/video_block_encoder.h"

// Searches around the predictors (no motion, the neighbours' vectors, the block's vector in the
// previous frame), a coarse grid and a refinement; returns the sum of absolute differences.
uint32_t EncoderSearchMotion(const EncoderPlaneContext* ctx, uint32_t x, uint32_t y, int32_t* mvx,
                             int32_t* mvy);
