// Decoding one plane: the block rows, the block types and the change map.
#pragma once

#include <cstdint>

#include "video/bit_reader.h"
#include "video/bundles.h"
#include "video/kernels.h"

// The state of one plane decode.
struct VideoPlaneContext {
  uint8_t* DstRow;        // first pixel of the current block row, destination frame
  const uint8_t* SrcRow;  // the same in the previous frame
  const uint8_t* SrcPlane;
  uint32_t Width, Height, Pitch;
  uint32_t Y;             // top row of the current block row
  uint8_t* MapRow;        // change-map row of the current block row, or none
  uint32_t MapStep;       // column counter steps per 8-pixel block: 1 luma and alpha, 2 chroma
  uint32_t Column;        // column counter of the current block; its map byte is Column / 2
  uint32_t Skipped;       // Skip blocks in areas not marked
  VideoBitReader Reader;
  VideoBundles Bundles;
  const VideoKernels* Kernels;
  uint8_t RunBlock[64];   // run fills, kept from one run-coded block to the next
  int16_t Coefs[64];
  int8_t Residue[64];
};

// Walks the current block row, 8 pixels per block (16 for a scaled area). A block is left as it
// was when the reader has reached `end`, the block-type bundle is empty or the type is above 9.
void VideoDecodeBlockRow(VideoPlaneContext* ctx, uint64_t end);

// Marks the map byte of the current block, and of the next 8 pixels too when `columns` is 2.
inline void VideoMarkBlock(VideoPlaneContext* ctx, uint32_t columns) {
  if (!ctx->MapRow) return;
  ctx->MapRow[ctx->Column / 2] = 1;
  if (columns == 2) ctx->MapRow[(ctx->Column + ctx->MapStep) / 2] = 1;
}

struct VideoPlaneDesc {
  uint8_t* Dst;        // destination plane
  const uint8_t* Src;  // previous frame's plane (the destination itself in a one-frame movie)
  uint32_t Width, Height, Pitch;
};

struct VideoPlaneStream {
  const uint8_t* Data;  // the frame's video data
  uint64_t Size;        // bytes of it; bytes beyond read as zero
  uint64_t Start;       // offset of the plane's bit stream
  uint64_t End;         // the block loop stops decoding once the reader's word offset reaches it
};

// Decodes a plane and returns the offset after its data (the word after the last word loaded).
// map is the change map (or none) with mapStep 1 for luma and alpha, 2 for chroma; bundles are the
// nine bundle buffers with their sizes, zero-filled here; *skipped receives the skip count.
uint64_t VideoDecodePlane(const VideoPlaneDesc* plane, const VideoPlaneStream* stream,
                          uint8_t* map, uint32_t mapStride, uint32_t mapStep,
                          uint8_t* const bundles[VideoBundleCount],
                          const uint64_t bundleSizes[VideoBundleCount], uint32_t frameFlags,
                          uint32_t* skipped);
