// Encoding one plane: mode decision per 16-row band (four blocks or one scaled area per 16x16),
// the bundles and inline bits of each block row, and the reconstruction.
#pragma once

#include <cstdint>
#include <vector>

#include "encoder/video_block_encoder.h"

// Encodes the plane described by ctx (whose Bundles are prepared here) into ctx->Recon and returns
// its bit stream. `costs` is updated with the rates of the trees chosen.
std::vector<uint8_t> EncoderEncodePlane(EncoderPlaneContext* ctx, VideoEncoderCosts* costs);
