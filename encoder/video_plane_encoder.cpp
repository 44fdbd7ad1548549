#include "encoder/video_plane_encoder.h"

#include <cstring>

#include "encoder/video_motion_search.h"

namespace {

// The decisions of one band: a code per 8-pixel column in each of its two block rows. A scaled
// area sits in the upper row's first column; Covered marks the columns it spans.
struct EncoderBand {
  std::vector<EncoderBlockCode> Codes[2];
  std::vector<uint8_t> Covered[2];
};

void EncoderAddUse(EncoderPlaneContext* ctx, uint32_t slot, const EncoderBlockCode* code,
                   int32_t sign) {
  uint32_t use[VideoBundleCount];
  EncoderBlockUse(code, use);
  for (uint32_t i = 0; i < VideoBundleCount; ++i) {
    ctx->RowUse[slot][i] = uint32_t(int32_t(ctx->RowUse[slot][i]) + sign * int32_t(use[i]));
  }
}

void EncoderPutRecon(EncoderPlaneContext* ctx, uint32_t x, uint32_t y,
                     const EncoderBlockCode* code) {
  for (uint32_t r = 0; r < code->Size; ++r) {
    std::memcpy(ctx->Recon + size_t(y + r) * ctx->ReconPitch + x, code->Recon + r * code->Size,
                code->Size);
  }
}

// Chooses the 8x8 block at column `col` of band row `slot`.
void EncoderChooseBlock(EncoderPlaneContext* ctx, EncoderBand* band, uint32_t col, uint32_t y,
                        uint32_t slot) {
  const uint32_t x = col * 8;
  int32_t mvx = 0, mvy = 0;
  if (ctx->Ref) EncoderSearchMotion(ctx, x, y, &mvx, &mvy);
  EncoderBlockCode* code = &band->Codes[slot][col];
  EncoderBestBlock(ctx, x, y, y / 8, mvx, mvy, code);
  EncoderAddUse(ctx, slot, code, 1);
  const size_t block = size_t(y / 8) * (ctx->Width / 8) + col;
  const bool moved = EncoderUsesMotion(code->Type);
  ctx->Vectors[2 * block] = moved ? code->Mx : 0;
  ctx->Vectors[2 * block + 1] = moved ? code->My : 0;
}

// A 16x16 area: four blocks, or one scaled area when that is cheaper (or asked for).
void EncoderChooseArea(EncoderPlaneContext* ctx, EncoderBand* band, uint32_t col, uint32_t y) {
  EncoderBlockCode* scaled = &band->Codes[0][col];
  EncoderBlockCode area;
  // A restriction to another type leaves scaled areas out.
  const bool scaledAllowed = ctx->OnlyType < 0 || ctx->OnlyType == VideoBlockScaled;
  const bool canScale = scaledAllowed && EncoderBestScaled(ctx, col * 8, y, &area);
  const bool forced = canScale && ctx->OnlyType == VideoBlockScaled;
  double blocks = 0;
  if (!forced) {
    for (uint32_t slot = 0; slot < 2; ++slot) {
      for (uint32_t c = col; c < col + 2; ++c) {
        EncoderChooseBlock(ctx, band, c, y + 8 * slot, slot);
        blocks += band->Codes[slot][c].Cost;
      }
    }
  }
  if (!canScale || (!forced && blocks <= area.Cost)) return;
  if (!forced) {
    for (uint32_t slot = 0; slot < 2; ++slot) {
      for (uint32_t c = col; c < col + 2; ++c) EncoderAddUse(ctx, slot, &band->Codes[slot][c], -1);
    }
  }
  *scaled = area;
  EncoderAddUse(ctx, 0, scaled, 1);
  ctx->RowUse[1][VideoBundleBlockTypes] += 1;  // the lower row names the area once more
  band->Covered[0][col + 1] = band->Covered[1][col] = band->Covered[1][col + 1] = 1;
}

void EncoderCommitBlock(EncoderPlaneContext* ctx, uint32_t row, const EncoderBlockCode* code) {
  EncoderPlaneBundles* bundles = ctx->Bundles;
  ++ctx->TypeCounts[code->Type];
  if (code->Type == VideoBlockScaled) ++ctx->SubTypeCounts[code->SubType];
  bundles->Values[VideoBundleBlockTypes].push_back(code->Type);
  if (code->Type == VideoBlockScaled)
    bundles->Values[VideoBundleSubBlockTypes].push_back(code->SubType);
  for (uint32_t i = 0; i < code->ColourCount; ++i)
    bundles->Values[VideoBundleColours].push_back(code->Colours[i]);
  for (uint32_t i = 0; i < code->PatternCount; ++i)
    bundles->Values[VideoBundlePatterns].push_back(code->Patterns[i]);
  if (EncoderUsesMotion(code->Type)) {
    bundles->Values[VideoBundleXOffsets].push_back(code->Mx);
    bundles->Values[VideoBundleYOffsets].push_back(code->My);
  }
  if (EncoderTakesIntraDc(code)) {
    bundles->Values[VideoBundleDcIntra].push_back(code->Dc);
    ctx->LastDc[0] = code->Dc;
  }
  if (code->Type == VideoBlockInter) {
    bundles->Values[VideoBundleDcInter].push_back(code->Dc);
    ctx->LastDc[1] = code->Dc;
  }
  for (uint32_t i = 0; i < code->RunCount; ++i)
    bundles->Values[VideoBundleRuns].push_back(code->Runs[i]);
  EncoderBitBufferAppend(&bundles->RowBits[row], &code->Bits);
}

// Writes a band row's blocks in walking order; the lower half of a scaled area names it again.
void EncoderCommitRow(EncoderPlaneContext* ctx, EncoderBand* band, uint32_t slot, uint32_t y) {
  const uint32_t row = y / 8;
  const uint32_t columns = ctx->Width / 8;
  for (uint32_t col = 0; col < columns; ++col) {
    if (band->Covered[slot][col]) {
      // In the lower row an area starts where the upper row holds its code.
      if (slot == 1 && !band->Covered[0][col])
        ctx->Bundles->Values[VideoBundleBlockTypes].push_back(VideoBlockScaled);
      continue;
    }
    const EncoderBlockCode* code = &band->Codes[slot][col];
    EncoderPutRecon(ctx, col * 8, y, code);
    EncoderCommitBlock(ctx, row, code);
  }
  EncoderBundlesEndRow(ctx->Bundles, row);
}

void EncoderEncodeBand(EncoderPlaneContext* ctx, EncoderBand* band, uint32_t y) {
  const uint32_t columns = ctx->Width / 8;
  const bool twoRows = y + 16 <= ctx->Height;
  std::memset(ctx->RowUse, 0, sizeof ctx->RowUse);
  for (uint32_t slot = 0; slot < 2; ++slot) band->Covered[slot].assign(columns, 0);
  for (uint32_t col = 0; col < columns; col += 2) {
    if (twoRows && col + 2 <= columns) {
      EncoderChooseArea(ctx, band, col, y);
      continue;
    }
    for (uint32_t slot = 0; slot < (twoRows ? 2u : 1u); ++slot) {
      for (uint32_t c = col; c < col + 2 && c < columns; ++c) {
        EncoderChooseBlock(ctx, band, c, y + 8 * slot, slot);
      }
    }
  }
  EncoderCommitRow(ctx, band, 0, y);
  if (twoRows) EncoderCommitRow(ctx, band, 1, y + 8);
}

}  // namespace

std::vector<uint8_t> EncoderEncodePlane(EncoderPlaneContext* ctx, VideoEncoderCosts* costs) {
  const uint32_t columns = ctx->Width / 8, rows = ctx->Height / 8;
  EncoderBundlesInit(ctx->Bundles, ctx->Width, rows, ctx->OldColours);
  for (uint32_t i = 0; i < VideoBundleCount; ++i) {
    ctx->RowLimit[i] = EncoderBundleRowLimit(ctx->Width, VideoBundleKind(i));
  }
  ctx->LastDc[0] = 1024;
  ctx->LastDc[1] = 0;
  if (ctx->Vectors.size() != size_t(2) * columns * rows)
    ctx->Vectors.assign(size_t(2) * columns * rows, 0);
  EncoderBand band;
  band.Codes[0].resize(columns);
  band.Codes[1].resize(columns);
  for (uint32_t y = 0; y < ctx->Height; y += 16) EncoderEncodeBand(ctx, &band, y);
  return EncoderWritePlane(ctx->Bundles, costs);
}
