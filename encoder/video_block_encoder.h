// Block candidates: each block type (and scaled sub-type) tried on one block, with the values it
// puts in the bundles, its inline bits, its reconstruction made by the decoder's kernels, its
// distortion against the source and its estimated rate.
#pragma once

#include <cstdint>
#include <vector>

#include "encoder/video_bit_writer.h"
#include "encoder/video_encoder.h"
#include "encoder/video_bundle_writer.h"
#include "encoder/video_encoder_kernels.h"
#include "video/kernels.h"

// The plane being encoded. Source, reference and reconstruction share one geometry: Width x
// Height (multiples of 8), each with its own pitch.
struct EncoderPlaneContext {
  const uint8_t* Src;
  uint32_t SrcPitch;
  const uint8_t* Ref;  // the previous reconstruction; none in a key frame
  uint32_t RefPitch;
  uint8_t* Recon;
  uint32_t ReconPitch;
  uint32_t Width, Height;
  bool OldColours;
  uint32_t Quantiser;    // the base quantiser; blocks try it and its neighbours
  double Lambda;         // distortion (squared error) per bit
  uint32_t ResidueZero;  // residue values up to this magnitude are dropped
  int32_t OnlyType, OnlySubType;
  const VideoEncoderCosts* Costs;
  const VideoKernels* Kernels;
  const EncoderKernels* Measures;
  EncoderPlaneBundles* Bundles;
  int32_t LastDc[2][2];  // per band row, the last intra and inter DC chosen in the band so far
                         // (rate estimates: a row's DC list codes differences)
  int8_t* Vectors;       // chosen motion of the blocks of the previous frame and of this one so
                         // far: x, y per block, (Width / 8) x (Height / 8) blocks
  const int8_t* LumaVectors;           // chroma planes: this frame's luma vectors (or none),
  uint32_t LumaColumns, LumaRows;      // LumaColumns x LumaRows blocks, x, y per block
  uint32_t RowUse[2][VideoBundleCount];  // values the band's two block rows take so far
  uint32_t RowLimit[VideoBundleCount];
  uint32_t* TypeCounts;     // ten counters: blocks written of each type
  uint32_t* SubTypeCounts;  // ten counters: scaled areas of each sub-type
  uint32_t Threads;         // threads deciding bands at once (at least 1)
};

// One candidate for an 8x8 block or a 16x16 scaled area.
struct EncoderBlockCode {
  uint8_t Type, SubType;
  uint8_t Size;  // 8, or 16 for a scaled area
  int8_t Mx, My;
  int32_t Dc;
  uint8_t Quant;  // transform blocks: the quantiser and the coefficients (natural order)
  int16_t Coefs[64];
  uint32_t ColourCount, PatternCount, RunCount;
  uint8_t Colours[64];
  uint8_t Patterns[8];
  uint8_t Runs[64];
  EncoderBlockBits Bits;
  bool Unwritten;  // a transform block left out before its bits were written (Cost a floor)
  uint8_t Recon[256];  // Size x Size, pitch Size
  uint64_t Distortion;
  double Rate;
  double Cost;
};

// Types that take a motion vector.
inline bool EncoderUsesMotion(uint32_t type) {
  return type == VideoBlockMotion || type == VideoBlockResidue || type == VideoBlockInter;
}

// Intra blocks and scaled intra areas take a DC from the intra bundle.
inline bool EncoderTakesIntraDc(const EncoderBlockCode* code) {
  return code->Type == VideoBlockIntra ||
         (code->Type == VideoBlockScaled && code->SubType == VideoBlockIntra);
}

// Values a candidate takes from each bundle.
void EncoderBlockUse(const EncoderBlockCode* code, uint32_t use[VideoBundleCount]);

// The best candidate for the 8x8 block at (x, y) among the types allowed there (the reference
// types need ctx->Ref). (mvx, mvy) is the block's vector from the motion search.
void EncoderBestBlock(EncoderPlaneContext* ctx, uint32_t x, uint32_t y, uint32_t row, int32_t mvx,
                      int32_t mvy, EncoderBlockCode* best);
// The best scaled candidate for the 16x16 area at (x, y); 0 when none fits the row limits.
int EncoderBestScaled(EncoderPlaneContext* ctx, uint32_t x, uint32_t y, EncoderBlockCode* best);
