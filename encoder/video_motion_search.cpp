#include "encoder/video_motion_search.h"

#include <cstdlib>

namespace {

struct EncoderSearch {
  const EncoderPlaneContext* Ctx;
  const uint8_t* Src;
  int32_t X, Y;
  int32_t BestX, BestY;
  uint32_t BestSad;
};

// Tries a vector; ones that leave the plane or the range are passed over. A small penalty per
// unit of length prefers short vectors, which cost fewer bits.
void EncoderTryVector(EncoderSearch* s, int32_t dx, int32_t dy) {
  const EncoderPlaneContext* ctx = s->Ctx;
  if (dx < -15 || dx > 15 || dy < -15 || dy > 15) return;
  const int32_t x = s->X + dx, y = s->Y + dy;
  if (x < 0 || y < 0 || x + 8 > int32_t(ctx->Width) || y + 8 > int32_t(ctx->Height)) return;
  const uint8_t* ref = ctx->Ref + size_t(y) * ctx->RefPitch + uint32_t(x);
  const uint32_t sad = ctx->Measures->Sad8x8(s->Src, ctx->SrcPitch, ref, ctx->RefPitch) +
                       uint32_t(std::abs(dx) + std::abs(dy));
  if (sad < s->BestSad) {
    s->BestSad = sad;
    s->BestX = dx;
    s->BestY = dy;
  }
}

void EncoderRefine(EncoderSearch* s, int32_t radius) {
  const int32_t cx = s->BestX, cy = s->BestY;
  for (int32_t dy = -radius; dy <= radius; ++dy) {
    for (int32_t dx = -radius; dx <= radius; ++dx) EncoderTryVector(s, cx + dx, cy + dy);
  }
}

}  // namespace

uint32_t EncoderSearchMotion(const EncoderPlaneContext* ctx, uint32_t x, uint32_t y, int32_t* mvx,
                             int32_t* mvy) {
  EncoderSearch s = {
      ctx, ctx->Src + size_t(y) * ctx->SrcPitch + x, int32_t(x), int32_t(y), 0, 0, 0xFFFFFFFFu};
  EncoderTryVector(&s, 0, 0);
  const uint32_t blocksPerRow = ctx->Width / 8;
  const size_t block = size_t(y / 8) * blocksPerRow + x / 8;
  const int8_t* v = ctx->Vectors;
  EncoderTryVector(&s, v[2 * block], v[2 * block + 1]);  // this block, previous frame
  if (x >= 8) EncoderTryVector(&s, v[2 * (block - 1)], v[2 * (block - 1) + 1]);
  if (y >= 8)
    EncoderTryVector(&s, v[2 * (block - blocksPerRow)], v[2 * (block - blocksPerRow) + 1]);
  // A chroma block covers four luma blocks; the top-left one's motion, halved.
  const uint32_t lumaColumn = 2 * (x / 8), lumaRow = 2 * (y / 8);
  if (ctx->LumaVectors && lumaColumn < ctx->LumaColumns && lumaRow < ctx->LumaRows) {
    const int8_t* luma = ctx->LumaVectors + 2 * (size_t(lumaRow) * ctx->LumaColumns + lumaColumn);
    EncoderTryVector(&s, luma[0] / 2, luma[1] / 2);
  }
  EncoderRefine(&s, 1);
  const int32_t px = s.BestX, py = s.BestY;
  for (int32_t dy = -12; dy <= 12; dy += 4) {
    for (int32_t dx = -12; dx <= 12; dx += 4) EncoderTryVector(&s, dx, dy);
  }
  if (s.BestX != px || s.BestY != py) {
    EncoderRefine(&s, 2);
    EncoderRefine(&s, 1);
  }
  *mvx = s.BestX;
  *mvy = s.BestY;
  return s.BestSad;
}
