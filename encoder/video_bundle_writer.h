// The value bundles of one plane, as the blocks take them, and the writing of the plane's stream:
// code trees, then per block row the bundle refills followed by the row's inline bits.
#pragma once

#include <cstdint>
#include <vector>

#include "encoder/video_bit_writer.h"
#include "encoder/video_encoder.h"
#include "video/bundles.h"

struct EncoderPlaneBundles {
  uint32_t Width = 0;       // plane width in pixels
  uint32_t Rows = 0;        // block rows
  bool OldColours = false;  // versions before 'i' code colours as offsets from 128
  // Values in the order the blocks take them: block and sub-block types, colours, pattern rows,
  // motion offsets as signed values, DCs, runs minus one.
  std::vector<int32_t> Values[VideoBundleCount];
  std::vector<uint32_t> RowEnd[VideoBundleCount];  // values taken up to the end of each row
  std::vector<EncoderBitBuffer> RowBits;         // inline bits of each row
};

void EncoderBundlesInit(EncoderPlaneBundles* bundles, uint32_t width, uint32_t rows,
                        bool oldColours);
// Closes block row `row` (rows are closed in order).
void EncoderBundlesEndRow(EncoderPlaneBundles* bundles, uint32_t row);
// The largest number of values one refill can carry for the plane's width: a block row never
// takes more than this from a bundle.
uint32_t EncoderBundleRowLimit(uint32_t planeWidth, VideoBundleKind kind);

// The plane's bit stream, padded to the end of the last word the decoder loads. Also returns, in
// costs, the bits each value would take with the trees chosen (estimates for the next frame).
std::vector<uint8_t> EncoderWritePlane(const EncoderPlaneBundles* bundles,
                                       VideoEncoderCosts* costs);

// The colour byte that decodes to `colour`; versions before 'i' cannot show 0 (use 1).
uint32_t EncoderCodedColour(uint32_t colour, bool oldColours);
