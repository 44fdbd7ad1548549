#include "encoder/video_plane_encoder.h"

#include <atomic>
#include <cstring>

#include "encoder/video_motion_search.h"
#include "platform/platform.h"

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

// The DC a chosen block leaves for the estimates of the next ones in its band row.
void EncoderNoteDc(EncoderPlaneContext* ctx, uint32_t slot, const EncoderBlockCode* code) {
  if (EncoderTakesIntraDc(code)) ctx->LastDc[slot][0] = code->Dc;
  if (code->Type == VideoBlockInter) ctx->LastDc[slot][1] = code->Dc;
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
  EncoderNoteDc(ctx, slot, code);
}

// A 16x16 area: four blocks, or one scaled area when that is cheaper (or asked for).
void EncoderChooseArea(EncoderPlaneContext* ctx, EncoderBand* band, uint32_t col, uint32_t y) {
  EncoderBlockCode* scaled = &band->Codes[0][col];
  EncoderBlockCode area;
  // A restriction to another type leaves scaled areas out.
  const bool scaledAllowed = ctx->OnlyType < 0 || ctx->OnlyType == VideoBlockScaled;
  const bool canScale = scaledAllowed && EncoderBestScaled(ctx, col * 8, y, &area);
  const bool forced = canScale && ctx->OnlyType == VideoBlockScaled;
  int32_t lastDc[2][2];
  std::memcpy(lastDc, ctx->LastDc, sizeof lastDc);
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
  std::memcpy(ctx->LastDc, lastDc, sizeof lastDc);
  EncoderNoteDc(ctx, 0, scaled);
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
  if (EncoderTakesIntraDc(code)) bundles->Values[VideoBundleDcIntra].push_back(code->Dc);
  if (code->Type == VideoBlockInter) bundles->Values[VideoBundleDcInter].push_back(code->Dc);
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

// One plane's bands, decided on several threads and written in order. A band decides an area
// only after the band above has decided the area at the same columns (its blocks start their
// motion search from the vectors there), and writes its rows only after the band above has
// written its own. Nothing else a band decides with changes during the frame, so the result is
// the same for any number of threads.
struct EncoderPlaneWork {
  const EncoderPlaneContext* Ctx;
  uint32_t Bands, Areas;
  std::atomic<uint32_t> NextBand{0};
  // Per band: areas decided, Areas + 1 once written; the progress the band below waits for (0:
  // none), and the event that wakes it (with threads only).
  std::vector<std::atomic<uint32_t>> Progress, Wanted;
  std::vector<PlatformEvent*> Moved;
};

// A band that has to wait for the one above waits until that one is `ahead` further (half a band
// when deciding), so that a short stall of the thread above does not hold it up again at once.
void EncoderWaitFor(EncoderPlaneWork* w, uint32_t band, uint32_t need, uint32_t ahead) {
  std::atomic<uint32_t>* progress = &w->Progress[band];
  if (progress->load() >= need) return;
  uint32_t target = need + ahead;
  if (need <= w->Areas && target > w->Areas) target = w->Areas;
  w->Wanted[band].store(target);
  while (progress->load() < target) PlatformEventWait(w->Moved[band], PlatformWaitForever);
  w->Wanted[band].store(0);
}

void EncoderAnnounce(EncoderPlaneWork* w, uint32_t band, uint32_t progress) {
  w->Progress[band].store(progress);
  const uint32_t wanted = w->Wanted[band].load();
  if (wanted && progress >= wanted) PlatformEventSignal(w->Moved[band]);
}

void EncoderDecideBand(EncoderPlaneContext* ctx, EncoderPlaneWork* w, EncoderBand* band,
                       uint32_t index) {
  const uint32_t y = index * 16;
  const uint32_t columns = ctx->Width / 8;
  const bool twoRows = y + 16 <= ctx->Height;
  std::memset(ctx->RowUse, 0, sizeof ctx->RowUse);
  for (uint32_t slot = 0; slot < 2; ++slot) {
    band->Covered[slot].assign(columns, 0);
    ctx->LastDc[slot][0] = 1024;
    ctx->LastDc[slot][1] = 0;
  }
  for (uint32_t col = 0; col < columns; col += 2) {
    if (index > 0) EncoderWaitFor(w, index - 1, col / 2 + 1, w->Areas / 2);
    if (twoRows && col + 2 <= columns) {
      EncoderChooseArea(ctx, band, col, y);
    } else {
      for (uint32_t slot = 0; slot < (twoRows ? 2u : 1u); ++slot) {
        for (uint32_t c = col; c < col + 2 && c < columns; ++c) {
          EncoderChooseBlock(ctx, band, c, y + 8 * slot, slot);
        }
      }
    }
    EncoderAnnounce(w, index, col / 2 + 1);
  }
}

void EncoderWriteBand(EncoderPlaneContext* ctx, EncoderPlaneWork* w, EncoderBand* band,
                      uint32_t index) {
  if (index > 0) EncoderWaitFor(w, index - 1, w->Areas + 1, 0);
  const uint32_t y = index * 16;
  EncoderCommitRow(ctx, band, 0, y);
  if (y + 16 <= ctx->Height) EncoderCommitRow(ctx, band, 1, y + 8);
  EncoderAnnounce(w, index, w->Areas + 1);
}

// Takes bands in order until none is left; each thread decides with a context of its own.
uint32_t EncoderRunBands(void* arg) {
  EncoderPlaneWork* w = static_cast<EncoderPlaneWork*>(arg);
  EncoderPlaneContext ctx = *w->Ctx;
  EncoderBand band;
  band.Codes[0].resize(ctx.Width / 8);
  band.Codes[1].resize(ctx.Width / 8);
  for (;;) {
    const uint32_t index = w->NextBand.fetch_add(1);
    if (index >= w->Bands) return 0;
    EncoderDecideBand(&ctx, w, &band, index);
    EncoderWriteBand(&ctx, w, &band, index);
  }
}

// Runs the bands on ctx->Threads threads (the caller's among them); fewer when the plane has
// fewer bands, or when the system gives no more.
void EncoderRunPlane(EncoderPlaneWork* w, uint32_t threads) {
  std::vector<PlatformThread*> helpers;
  if (threads > 1) {
    w->Moved.assign(w->Bands, nullptr);
    bool ready = true;
    for (PlatformEvent*& e : w->Moved) ready = ready && (e = PlatformEventCreate()) != nullptr;
    for (uint32_t i = 1; ready && i < threads; ++i) {
      if (PlatformThread* t = PlatformThreadCreate(EncoderRunBands, w, 0, 0)) helpers.push_back(t);
    }
    if (!ready) {
      for (PlatformEvent* e : w->Moved) PlatformEventDestroy(e);
      w->Moved.clear();
    }
  }
  EncoderRunBands(w);
  for (PlatformThread* t : helpers) {
    PlatformThreadJoin(t, PlatformWaitForever);
    PlatformThreadClose(t);
  }
  for (PlatformEvent* e : w->Moved) PlatformEventDestroy(e);
}

}  // namespace

std::vector<uint8_t> EncoderEncodePlane(EncoderPlaneContext* ctx, VideoEncoderCosts* costs) {
  const uint32_t rows = ctx->Height / 8;
  EncoderBundlesInit(ctx->Bundles, ctx->Width, rows, ctx->OldColours);
  for (uint32_t i = 0; i < VideoBundleCount; ++i) {
    ctx->RowLimit[i] = EncoderBundleRowLimit(ctx->Width, VideoBundleKind(i));
  }
  EncoderPlaneWork work;
  work.Ctx = ctx;
  work.Bands = (ctx->Height + 15) / 16;
  work.Areas = (ctx->Width / 8 + 1) / 2;
  work.Progress = std::vector<std::atomic<uint32_t>>(work.Bands);
  work.Wanted = std::vector<std::atomic<uint32_t>>(work.Bands);
  const uint32_t threads = ctx->Threads < work.Bands ? ctx->Threads : work.Bands;
  EncoderRunPlane(&work, threads);
  return EncoderWritePlane(ctx->Bundles, costs);
}
