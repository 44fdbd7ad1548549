// The ten block types, and the walk along a block row.
#include <cstring>

#include "video/coefficients.h"
#include "video/plane_decoder.h"
#include "video/quant.h"
#include "video/scan_tables.h"

static uint8_t* VideoBlockDst(VideoPlaneContext* ctx, uint32_t x) { return ctx->DstRow + x; }

static VideoBundle* VideoBundleOf(VideoPlaneContext* ctx, VideoBundleKind kind) {
  return &ctx->Bundles.Bundles[kind];
}

// Takes a motion vector and returns the source block it points to in the previous frame, or
// none when the block would not lie inside the plane.
static const uint8_t* VideoMotionSource(VideoPlaneContext* ctx, uint32_t x) {
  const int64_t dx = int8_t(VideoTakeByte(VideoBundleOf(ctx, VideoBundleXOffsets)));
  const int64_t dy = int8_t(VideoTakeByte(VideoBundleOf(ctx, VideoBundleYOffsets)));
  const int64_t offset = (int64_t(ctx->Y) + dy) * ctx->Pitch + int64_t(x) + dx;
  const int64_t last = int64_t(ctx->Height - 8) * ctx->Pitch + ctx->Width - 8;
  if (offset < 0 || offset > last) return nullptr;
  return ctx->SrcPlane + offset;
}

// Fills the run block along one of the sixteen scans: runs of one colour or of single colours.
// Positions the runs do not reach keep what the previous run-coded block left there.
static void VideoRunFill(VideoPlaneContext* ctx) {
  const uint8_t* scan = VideoRunScans[VideoReadBits(&ctx->Reader, 4)].data();
  VideoBundle* runs = VideoBundleOf(ctx, VideoBundleRuns);
  VideoBundle* colours = VideoBundleOf(ctx, VideoBundleColours);
  uint32_t remaining = 64, at = 0;
  while (remaining > 1) {
    const uint32_t run = VideoTakeByte(runs) + 1;
    if (run > remaining) break;
    remaining -= run;
    if (VideoReadBit(&ctx->Reader)) {
      const uint8_t colour = uint8_t(VideoTakeByte(colours));
      for (uint32_t i = 0; i < run; ++i) ctx->RunBlock[scan[at++]] = colour;
    } else {
      const uint8_t* values = VideoTakeBytes(colours, run);
      for (uint32_t i = 0; i < run; ++i) ctx->RunBlock[scan[at++]] = values[i];
    }
  }
  if (remaining == 1) ctx->RunBlock[scan[63]] = uint8_t(VideoTakeByte(colours));
}

// DC from the bundle, then the coefficients, then the 4-bit quantiser.
static const uint32_t* VideoReadTransform(VideoPlaneContext* ctx, VideoBundleKind dcBundle,
                                          const uint32_t (*matrices)[64]) {
  ctx->Coefs[0] = int16_t(uint16_t(VideoTakeDc(VideoBundleOf(ctx, dcBundle))));
  VideoReadCoefficients(&ctx->Reader, ctx->Coefs);
  return matrices[VideoReadBits(&ctx->Reader, 4)];
}

static uint32_t VideoDecodeSkip(VideoPlaneContext* ctx, uint32_t x) {
  ctx->Kernels->Copy8x8(VideoBlockDst(ctx, x), ctx->Pitch, ctx->SrcRow + x, ctx->Pitch);
  if (!ctx->MapRow || !ctx->MapRow[ctx->Column / 2]) ++ctx->Skipped;
  return 8;
}

// An 8x8 description written as a 16x16 area; sub-type 3, 5, 6, 8 or 9.
static void VideoDecodeScaledArea(VideoPlaneContext* ctx, uint32_t x, uint32_t subType) {
  uint8_t* dst = VideoBlockDst(ctx, x);
  const VideoKernels* k = ctx->Kernels;
  VideoBundle* colours = VideoBundleOf(ctx, VideoBundleColours);
  switch (subType) {
    case 3:
      VideoRunFill(ctx);
      k->Double8x8(dst, ctx->Pitch, ctx->RunBlock);
      break;
    case 5:
      k->IdctPutDoubled(dst, ctx->Pitch, ctx->Coefs,
                        VideoReadTransform(ctx, VideoBundleDcIntra, VideoQuantIntra));
      break;
    case 6:
      k->Fill16x16(dst, ctx->Pitch, uint8_t(VideoTakeByte(colours)));
      break;
    case 8: {
      const uint8_t c0 = uint8_t(VideoTakeByte(colours));
      const uint8_t c1 = uint8_t(VideoTakeByte(colours));
      k->Pattern16x16(dst, ctx->Pitch, c0, c1,
                      VideoTakeBytes(VideoBundleOf(ctx, VideoBundlePatterns), 8));
      break;
    }
    case 9:
      k->Double8x8(dst, ctx->Pitch, VideoTakeBytes(colours, 64));
      break;
  }
}

static bool VideoScaledSubTypeWrites(uint32_t subType) {
  return subType == 3 || subType == 5 || subType == 6 || subType == 8 || subType == 9;
}

static uint32_t VideoDecodeScaled(VideoPlaneContext* ctx, uint32_t x) {
  if (ctx->Width - x < 16) return 8;
  // The lower half of a 16-row band was decoded with the row above.
  if (ctx->Y & 8) {
    VideoMarkBlock(ctx, 2);
    return 16;
  }
  VideoBundle* subTypes = VideoBundleOf(ctx, VideoBundleSubBlockTypes);
  if (!VideoBundleEmpty(subTypes)) {
    const uint32_t subType = VideoTakeByte(subTypes);
    if (VideoScaledSubTypeWrites(subType)) {
      if (ctx->Height - ctx->Y < 16) return 8;
      VideoDecodeScaledArea(ctx, x, subType);
    }
  }
  VideoMarkBlock(ctx, 2);
  return 16;
}

static uint32_t VideoDecodeMotion(VideoPlaneContext* ctx, uint32_t x) {
  VideoMarkBlock(ctx, 1);
  const uint8_t* src = VideoMotionSource(ctx, x);
  if (src) ctx->Kernels->Copy8x8(VideoBlockDst(ctx, x), ctx->Pitch, src, ctx->Pitch);
  return 8;
}

static uint32_t VideoDecodeRun(VideoPlaneContext* ctx, uint32_t x) {
  VideoMarkBlock(ctx, 1);
  VideoRunFill(ctx);
  ctx->Kernels->Copy8x8(VideoBlockDst(ctx, x), ctx->Pitch, ctx->RunBlock, 8);
  return 8;
}

static uint32_t VideoDecodeResidueBlock(VideoPlaneContext* ctx, uint32_t x) {
  VideoMarkBlock(ctx, 1);
  const uint8_t* src = VideoMotionSource(ctx, x);
  if (!src) return 8;
  VideoReadResidue(&ctx->Reader, ctx->Residue, VideoReadBits(&ctx->Reader, 7));
  ctx->Kernels->ResidueAdd(VideoBlockDst(ctx, x), ctx->Pitch, ctx->Residue, src, ctx->Pitch);
  return 8;
}

static uint32_t VideoDecodeIntra(VideoPlaneContext* ctx, uint32_t x) {
  VideoMarkBlock(ctx, 1);
  const uint32_t* quant = VideoReadTransform(ctx, VideoBundleDcIntra, VideoQuantIntra);
  ctx->Kernels->IdctPut(VideoBlockDst(ctx, x), ctx->Pitch, ctx->Coefs, quant);
  return 8;
}

static uint32_t VideoDecodeFill(VideoPlaneContext* ctx, uint32_t x) {
  VideoMarkBlock(ctx, 1);
  ctx->Kernels->Fill8x8(VideoBlockDst(ctx, x), ctx->Pitch,
                        uint8_t(VideoTakeByte(VideoBundleOf(ctx, VideoBundleColours))));
  return 8;
}

static uint32_t VideoDecodeInter(VideoPlaneContext* ctx, uint32_t x) {
  VideoMarkBlock(ctx, 1);
  const uint8_t* src = VideoMotionSource(ctx, x);
  if (!src) return 8;
  const uint32_t* quant = VideoReadTransform(ctx, VideoBundleDcInter, VideoQuantInter);
  ctx->Kernels->IdctAdd(VideoBlockDst(ctx, x), ctx->Pitch, ctx->Coefs, quant, src, ctx->Pitch);
  return 8;
}

static uint32_t VideoDecodePattern(VideoPlaneContext* ctx, uint32_t x) {
  VideoMarkBlock(ctx, 1);
  VideoBundle* colours = VideoBundleOf(ctx, VideoBundleColours);
  const uint8_t c0 = uint8_t(VideoTakeByte(colours));
  const uint8_t c1 = uint8_t(VideoTakeByte(colours));
  ctx->Kernels->Pattern8x8(VideoBlockDst(ctx, x), ctx->Pitch, c0, c1,
                           VideoTakeBytes(VideoBundleOf(ctx, VideoBundlePatterns), 8));
  return 8;
}

static uint32_t VideoDecodeRaw(VideoPlaneContext* ctx, uint32_t x) {
  VideoMarkBlock(ctx, 1);
  ctx->Kernels->Copy8x8(VideoBlockDst(ctx, x), ctx->Pitch,
                        VideoTakeBytes(VideoBundleOf(ctx, VideoBundleColours), 64), 8);
  return 8;
}

// Decodes the block of the given type at column x; returns the pixels the walk moves on. A switch
// rather than a table of decoders: each is inlined into the walk.
static uint32_t VideoDecodeBlock(VideoPlaneContext* ctx, uint32_t type, uint32_t x) {
  switch (type) {
    case 0: return VideoDecodeSkip(ctx, x);
    case 1: return VideoDecodeScaled(ctx, x);
    case 2: return VideoDecodeMotion(ctx, x);
    case 3: return VideoDecodeRun(ctx, x);
    case 4: return VideoDecodeResidueBlock(ctx, x);
    case 5: return VideoDecodeIntra(ctx, x);
    case 6: return VideoDecodeFill(ctx, x);
    case 7: return VideoDecodeInter(ctx, x);
    case 8: return VideoDecodePattern(ctx, x);
    case 9: return VideoDecodeRaw(ctx, x);
    default: return 8;  // an unknown type leaves the block as it was
  }
}

void VideoDecodeBlockRow(VideoPlaneContext* ctx, uint64_t end) {
  VideoBundle* types = &ctx->Bundles.Bundles[VideoBundleBlockTypes];
  ctx->Column = 0;
  for (uint32_t x = 0; x + 8 <= ctx->Width;) {
    uint32_t advance = 8;
    if (ctx->Reader.Pos < end && !VideoBundleEmpty(types)) {
      advance = VideoDecodeBlock(ctx, types->Buffer[types->Cursor++], x);
    }
    x += advance;
    ctx->Column += ctx->MapStep * (advance / 8);
  }
}
