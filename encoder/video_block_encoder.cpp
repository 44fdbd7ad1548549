#include "encoder/video_block_encoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "encoder/video_coefficient_writer.h"
#include "encoder/video_transform.h"
#include "video/quant.h"
#include "video/scan_tables.h"

namespace {

// Quantisation rounds towards zero by this much: small coefficients cost more bits than the
// error they remove (measured on the synthetic sequences).
constexpr double kIntraDeadZone = 0.3;
constexpr double kInterDeadZone = 0.4;

const uint8_t* EncoderAt(const uint8_t* plane, uint32_t pitch, uint32_t x, uint32_t y) {
  return plane + size_t(y) * pitch + x;
}

// Versions before 'i' cannot show colour 0.
uint8_t EncoderLegalColour(const EncoderPlaneContext* ctx, uint32_t colour) {
  return uint8_t(ctx->OldColours && colour == 0 ? 1 : colour);
}

void EncoderStartCode(EncoderBlockCode* code, uint32_t type, uint32_t subType, uint32_t size) {
  code->Type = uint8_t(type);
  code->SubType = uint8_t(subType);
  code->Size = uint8_t(size);
  code->Mx = code->My = 0;
  code->Dc = 0;
  code->ColourCount = code->PatternCount = code->RunCount = 0;
  code->Unwritten = false;
  EncoderBlockBitsReset(&code->Bits);
  code->Rate = 0;
}

double EncoderDcRate(const EncoderPlaneContext* ctx, uint32_t slot, uint32_t bundle, int32_t dc) {
  const int32_t last = ctx->LastDc[slot][bundle == VideoBundleDcInter ? 1 : 0];
  return 1.5 + double(std::bit_width(uint32_t(std::abs(dc - last))));
}

// The bundle values' estimated bits and the inline bits.
double EncoderRate(const EncoderPlaneContext* ctx, uint32_t y, const EncoderBlockCode* code) {
  const VideoEncoderCosts* k = ctx->Costs;
  double rate = code->Type == VideoBlockScaled ? 2 * k->BlockType[1] + k->SubType[code->SubType]
                                               : k->BlockType[code->Type];
  rate += double(code->ColourCount) * k->Colour + double(code->PatternCount) * k->Pattern +
          double(code->RunCount) * k->Run;
  if (EncoderUsesMotion(code->Type))
    rate += k->Motion[std::abs(code->Mx)] + k->Motion[std::abs(code->My)];
  const uint32_t slot = (y / 8) & 1;  // a scaled area starts in the band's upper row
  if (EncoderTakesIntraDc(code)) rate += EncoderDcRate(ctx, slot, VideoBundleDcIntra, code->Dc);
  if (code->Type == VideoBlockInter)
    rate += EncoderDcRate(ctx, slot, VideoBundleDcInter, code->Dc);
  return rate + double(code->Bits.Count);
}

uint64_t EncoderDistortion(const EncoderPlaneContext* ctx, uint32_t x, uint32_t y,
                           const EncoderBlockCode* code) {
  const EncoderMeasureFn error =
      code->Size == 8 ? ctx->Measures->SquaredError8x8 : ctx->Measures->SquaredError16x16;
  return error(code->Recon, code->Size, EncoderAt(ctx->Src, ctx->SrcPitch, x, y), ctx->SrcPitch);
}

// Rate, distortion over the block's area, and cost.
void EncoderFinishCode(const EncoderPlaneContext* ctx, uint32_t x, uint32_t y,
                       EncoderBlockCode* code) {
  code->Rate = EncoderRate(ctx, y, code);
  code->Distortion = EncoderDistortion(ctx, x, y, code);
  code->Cost = code->Bits.Overflow ? 1e300 : double(code->Distortion) + ctx->Lambda * code->Rate;
}

void EncoderLoadBlock(const uint8_t* src, uint32_t pitch, int32_t out[64]) {
  for (uint32_t r = 0; r < 8; ++r) {
    for (uint32_t c = 0; c < 8; ++c) out[r * 8 + c] = src[size_t(r) * pitch + c];
  }
}

// ---- descriptions shared by 8x8 blocks and scaled areas (an 8x8 description, pitch 8) ----

void EncoderDescribeFill(const EncoderPlaneContext* ctx, const uint8_t* src, uint32_t pitch,
                         uint32_t size, EncoderBlockCode* code) {
  uint32_t sum = 0;
  for (uint32_t r = 0; r < size; ++r) {
    for (uint32_t c = 0; c < size; ++c) sum += src[size_t(r) * pitch + c];
  }
  const uint32_t n = size * size;
  code->Colours[0] = EncoderLegalColour(ctx, (sum + n / 2) / n);
  code->ColourCount = 1;
  if (size == 8) {
    ctx->Kernels->Fill8x8(code->Recon, 8, code->Colours[0]);
  } else {
    ctx->Kernels->Fill16x16(code->Recon, 16, code->Colours[0]);
  }
}

// Two colours by two-means; each pixel takes the nearer one.
void EncoderDescribePattern(const EncoderPlaneContext* ctx, const uint8_t d[64],
                            EncoderBlockCode* code) {
  uint32_t lo = 255, hi = 0;
  for (uint32_t i = 0; i < 64; ++i) {
    lo = d[i] < lo ? d[i] : lo;
    hi = d[i] > hi ? d[i] : hi;
  }
  uint32_t c0 = lo, c1 = hi;
  for (int iteration = 0; iteration < 3; ++iteration) {
    uint32_t sum[2] = {}, n[2] = {};
    for (uint32_t i = 0; i < 64; ++i) {
      const uint32_t side = 2 * d[i] > c0 + c1 ? 1 : 0;
      sum[side] += d[i];
      ++n[side];
    }
    if (n[0]) c0 = (sum[0] + n[0] / 2) / n[0];
    if (n[1]) c1 = (sum[1] + n[1] / 2) / n[1];
  }
  code->Colours[0] = EncoderLegalColour(ctx, c0);
  code->Colours[1] = EncoderLegalColour(ctx, c1);
  code->ColourCount = 2;
  for (uint32_t r = 0; r < 8; ++r) {
    uint32_t row = 0;
    for (uint32_t c = 0; c < 8; ++c) {
      const int32_t v = d[r * 8 + c];
      if (std::abs(v - code->Colours[1]) < std::abs(v - code->Colours[0])) row |= 1u << c;
    }
    code->Patterns[r] = uint8_t(row);
  }
  code->PatternCount = 8;
  if (code->Size == 8) {
    ctx->Kernels->Pattern8x8(code->Recon, 8, code->Colours[0], code->Colours[1], code->Patterns);
  } else {
    ctx->Kernels->Pattern16x16(code->Recon, 16, code->Colours[0], code->Colours[1], code->Patterns);
  }
}

// Intra transform with quantiser q: DC from the intra bundle, coefficients, then the quantiser.
const uint8_t* EncoderPrediction(const EncoderPlaneContext* ctx, uint32_t x, uint32_t y,
                                 int32_t mvx, int32_t mvy) {
  return EncoderAt(ctx->Ref, ctx->RefPitch, uint32_t(int32_t(x) + mvx), uint32_t(int32_t(y) + mvy));
}

// The reconstruction of a transform block (intra, inter or scaled intra) from its coefficients.
void EncoderReconstruct(const EncoderPlaneContext* ctx, uint32_t x, uint32_t y,
                        EncoderBlockCode* code) {
  const VideoKernels* k = ctx->Kernels;
  if (code->Type == VideoBlockInter) {
    k->IdctAdd(code->Recon, 8, code->Coefs, VideoQuantInter[code->Quant],
               EncoderPrediction(ctx, x, y, code->Mx, code->My), ctx->RefPitch);
  } else if (code->Size == 8) {
    k->IdctPut(code->Recon, 8, code->Coefs, VideoQuantIntra[code->Quant]);
  } else {
    k->IdctPutDoubled(code->Recon, 16, code->Coefs, VideoQuantIntra[code->Quant]);
  }
}

// The decoder keeps the low 8 bits of a transform result, so one past 0..255 wraps. Where every
// reconstructed pixel is within 64 of its target (block plus prediction) none has wrapped, short
// of an error of 192 or more.
bool EncoderNoWrap(const EncoderBlockCode* code, const int32_t block[64], const uint8_t* pred,
                   uint32_t predPitch) {
  static const uint8_t kNone[8] = {};
  const uint32_t step = code->Size / 8;
  int32_t worst = 0;
  for (uint32_t r = 0; r < 8; ++r) {
    const uint8_t* base = pred ? pred + size_t(r) * predPitch : kNone;
    const uint8_t* got = code->Recon + r * step * code->Size;
    for (uint32_t c = 0; c < 8; ++c) {
      const int32_t d = int32_t(got[c * step]) - (block[r * 8 + c] + base[c]);
      worst = std::max(worst, d < 0 ? -d : d);
    }
  }
  return worst <= 64;
}

// Quantises and reconstructs a transform block. Plain quantisation stands where nothing wraps;
// otherwise the coefficients are pulled into range (the exact check, dearer).
void EncoderQuantiseBlock(const EncoderPlaneContext* ctx, uint32_t x, uint32_t y,
                          const int32_t block[64], const double transformed[64],
                          const uint8_t* pred, const EncoderQuantiser* quant, double deadZone,
                          int32_t dcMin, int32_t dcMax, EncoderBlockCode* code) {
  EncoderQuantise(transformed, quant, deadZone, dcMin, dcMax, code->Coefs);
  EncoderReconstruct(ctx, x, y, code);
  if (EncoderNoWrap(code, block, pred, ctx->RefPitch)) return;
  EncoderQuantiseInRange(block, transformed, pred, ctx->RefPitch, quant, deadZone, dcMin, dcMax,
                         code->Coefs);
  EncoderReconstruct(ctx, x, y, code);
}

// Bits the coefficients take at least: the 4-bit pass count, and for each AC value other than 0
// the bit that reaches it in the work list and its value bits (those below its top bit, and its
// sign), written in the pass of its top bit.
uint32_t EncoderCoefficientFloor(const int16_t coefs[64]) {
  uint32_t bits = 4;
  for (uint32_t i = 1; i < 64; ++i) {
    if (coefs[i]) bits += 1 + uint32_t(std::bit_width(uint32_t(std::abs(coefs[i]))));
  }
  return bits;
}

// The inline bits of a reconstructed transform block. Writing the coefficients is the dear part,
// so it is left out when the distortion and a floor of the bits already cost at least
// `bestCost`: the code is then Unwritten, its Cost that floor.
void EncoderWriteTransform(const EncoderPlaneContext* ctx, uint32_t x, uint32_t y,
                           double bestCost, EncoderBlockCode* code) {
  code->Dc = code->Coefs[0];
  EncoderBlockBitsReset(&code->Bits);
  const double bits = EncoderRate(ctx, y, code) + 4.0 + EncoderCoefficientFloor(code->Coefs);
  const double floor = double(EncoderDistortion(ctx, x, y, code)) + ctx->Lambda * bits;
  code->Unwritten = floor >= bestCost;
  if (code->Unwritten) {
    code->Cost = floor;
    return;
  }
  EncoderWriteCoefficients(&code->Bits, code->Coefs);
  EncoderBlockBitsPut(&code->Bits, code->Quant, 4);
}

void EncoderDescribeIntra(const EncoderPlaneContext* ctx, uint32_t x, uint32_t y,
                          const int32_t block[64], const double transformed[64], uint32_t q,
                          double bestCost, EncoderBlockCode* code) {
  code->Quant = uint8_t(q);
  EncoderQuantiseBlock(ctx, x, y, block, transformed, nullptr, EncoderGetQuantiser(false, q),
                       kIntraDeadZone, 0, 2047, code);
  EncoderWriteTransform(ctx, x, y, bestCost, code);
}

void EncoderDescribeRaw(const EncoderPlaneContext* ctx, const uint8_t d[64],
                        EncoderBlockCode* code) {
  for (uint32_t i = 0; i < 64; ++i) code->Colours[i] = EncoderLegalColour(ctx, d[i]);
  code->ColourCount = 64;
  if (code->Size == 8) {
    ctx->Kernels->Copy8x8(code->Recon, 8, code->Colours, 8);
  } else {
    ctx->Kernels->Double8x8(code->Recon, 16, code->Colours);
  }
}

// Runs along a scan: a segment is a run of one colour (flag 1) or of single colours (flag 0),
// 1..16 long; a last lone position takes one colour with neither run value nor flag.
struct EncoderRunPlan {
  double Bits;
  uint8_t Length[64];  // segment starting at each position
  bool Same[64];
};

// The cheapest segmentation, from the end backwards. A segment from i of a length within the
// stretch of equal values there is a run (one colour), any other a literal (a colour each).
void EncoderPlanRuns(const uint8_t values[64], double runBits, double colourBits,
                     EncoderRunPlan* plan) {
  double literal[17];  // segment bits besides the rest's: flag, run value and colours
  for (uint32_t len = 1; len <= 16; ++len) literal[len] = runBits + 1 + len * colourBits;
  const double run = runBits + 1 + colourBits;
  double best[65];
  uint32_t stretch = 1;  // equal values from i on
  best[64] = 0;
  best[63] = colourBits;
  plan->Length[63] = 1;
  plan->Same[63] = false;
  for (int32_t i = 62; i >= 0; --i) {
    stretch = values[i] == values[i + 1] ? stretch + 1 : 1;
    const uint32_t most = 64 - uint32_t(i) < 16 ? 64 - uint32_t(i) : 16;
    const uint32_t sameUpTo = stretch < most ? stretch : most;
    const double* rest = best + i;
    double bits = literal[1] + rest[1];
    uint32_t length = 1;
    for (uint32_t len = 2; len <= sameUpTo; ++len) {
      const double b = run + rest[len];
      if (b < bits) bits = b, length = len;
    }
    for (uint32_t len = sameUpTo + 1; len <= most; ++len) {
      const double b = literal[len] + rest[len];
      if (b < bits) bits = b, length = len;
    }
    best[i] = bits;
    plan->Length[i] = uint8_t(length);
    plan->Same[i] = length > 1 && length <= sameUpTo;
  }
  plan->Bits = best[0];
}

uint32_t EncoderDistinctValues(const uint8_t legal[64]) {
  uint64_t seen[4] = {};
  for (uint32_t i = 0; i < 64; ++i) seen[legal[i] >> 6] |= uint64_t(1) << (legal[i] & 63);
  return uint32_t(std::popcount(seen[0]) + std::popcount(seen[1]) + std::popcount(seen[2]) +
                  std::popcount(seen[3]));
}

// Run coding is exact, so its cost is its rate alone, and a scan's plan has a floor: a colour for
// each stretch of equal values along the scan, and at least four segments (each at most 16 long,
// and 63 positions precede the lone last one) with a run value and a flag each.
double EncoderRunFloor(const EncoderPlaneContext* ctx, const uint8_t legal[64], uint32_t s) {
  const uint8_t* scan = VideoRunScans[s].data();
  uint32_t stretches = 1;
  for (uint32_t i = 1; i < 64; ++i) stretches += legal[scan[i]] != legal[scan[i - 1]] ? 1 : 0;
  return 4.0 * (ctx->Costs->Run + 1.0) + double(stretches) * ctx->Costs->Colour;
}

// Lossless run coding of the description along the cheapest of the sixteen scans. Unless forced,
// it is left out (0, nothing described) for more than 16 distinct values, or when no scan's floor,
// with the type's rate and the 4-bit scan index, can beat bestCost. Scans are planned in the
// order of their floors while a floor can still beat the best plan, ties going to the lower scan.
int EncoderDescribeRun(const EncoderPlaneContext* ctx, const uint8_t d[64], double typeRate,
                       double bestCost, bool forced, EncoderBlockCode* code) {
  uint8_t legal[64];
  for (uint32_t i = 0; i < 64; ++i) legal[i] = EncoderLegalColour(ctx, d[i]);
  const double reach = forced ? 1e300 : bestCost / ctx->Lambda - typeRate - 4.0;
  const uint32_t distinct = EncoderDistinctValues(legal);
  // Every scan has at least as many stretches as there are distinct values.
  const double segments = 4.0 * (ctx->Costs->Run + 1.0);
  const double floor = segments + double(distinct) * ctx->Costs->Colour;
  if (!forced && (distinct > 16 || floor >= reach)) return 0;
  double floors[16];
  uint32_t order[16];
  for (uint32_t s = 0; s < 16; ++s) {
    floors[s] = EncoderRunFloor(ctx, legal, s);
    uint32_t at = s;
    for (; at > 0 && floors[order[at - 1]] > floors[s]; --at) order[at] = order[at - 1];
    order[at] = s;
  }
  EncoderRunPlan best{}, plan;
  best.Bits = 1e300;
  uint32_t bestScan = 16;
  for (uint32_t i = 0; i < 16; ++i) {
    const uint32_t s = order[i];
    if (floors[s] >= reach || floors[s] > best.Bits) break;
    if (floors[s] == best.Bits && s > bestScan) continue;
    uint8_t values[64];
    for (uint32_t j = 0; j < 64; ++j) values[j] = legal[VideoRunScans[s][j]];
    EncoderPlanRuns(values, ctx->Costs->Run, ctx->Costs->Colour, &plan);
    if (plan.Bits < best.Bits || (plan.Bits == best.Bits && s < bestScan)) {
      best = plan;
      bestScan = s;
    }
  }
  if (bestScan == 16) return 0;
  const uint8_t* scan = VideoRunScans[bestScan].data();
  EncoderBlockBitsPut(&code->Bits, bestScan, 4);
  for (uint32_t at = 0; at < 64;) {
    const uint32_t len = best.Length[at];
    if (at == 63) {
      code->Colours[code->ColourCount++] = legal[scan[63]];
      break;
    }
    code->Runs[code->RunCount++] = uint8_t(len - 1);
    EncoderBlockBitsPut(&code->Bits, best.Same[at] ? 1 : 0, 1);
    for (uint32_t i = 0; i < (best.Same[at] ? 1 : len); ++i) {
      code->Colours[code->ColourCount++] = legal[scan[at + i]];
    }
    at += len;
  }
  // A block row's runs must fit one refill: at most 48 per 8 columns.
  if (code->RunCount > 48) code->Bits.Overflow = true;
  if (code->Size == 8) {
    ctx->Kernels->Copy8x8(code->Recon, 8, legal, 8);
  } else {
    ctx->Kernels->Double8x8(code->Recon, 16, legal);
  }
  return 1;
}

// ---- the reference types ----

void EncoderTrySkip(const EncoderPlaneContext* ctx, uint32_t x, uint32_t y,
                    EncoderBlockCode* code) {
  EncoderStartCode(code, VideoBlockSkip, 0, 8);
  ctx->Kernels->Copy8x8(code->Recon, 8, EncoderAt(ctx->Ref, ctx->RefPitch, x, y), ctx->RefPitch);
}

void EncoderTryMotion(const EncoderPlaneContext* ctx, uint32_t x, uint32_t y, int32_t mvx,
                      int32_t mvy, EncoderBlockCode* code) {
  EncoderStartCode(code, VideoBlockMotion, 0, 8);
  code->Mx = int8_t(mvx);
  code->My = int8_t(mvy);
  ctx->Kernels->Copy8x8(code->Recon, 8, EncoderPrediction(ctx, x, y, mvx, mvy), ctx->RefPitch);
}

// The residue that turns the prediction p into p + d, where p + d stays within 0..255: the add
// wraps modulo 256, so the shorter of d and d -+ 256 is written.
int8_t EncoderWrapResidue(int32_t d) { return int8_t(uint8_t(uint32_t(d))); }

// Differences from the prediction, small ones dropped, rounded to coarser steps until the residue
// fits its change budget (none at all as the last resort). Rounding keeps each pixel within
// 0..255, so that no rounded value wraps to the other end.
void EncoderTryResidue(const EncoderPlaneContext* ctx, uint32_t x, uint32_t y, int32_t mvx,
                       int32_t mvy, EncoderBlockCode* code) {
  EncoderStartCode(code, VideoBlockResidue, 0, 8);
  code->Mx = int8_t(mvx);
  code->My = int8_t(mvy);
  const uint8_t* pred = EncoderPrediction(ctx, x, y, mvx, mvy);
  const uint8_t* src = EncoderAt(ctx->Src, ctx->SrcPitch, x, y);
  int8_t residue[64];
  for (int32_t step = 0; step <= 8; ++step) {
    const int32_t unit = 1 << step;
    for (uint32_t r = 0; r < 8; ++r) {
      for (uint32_t c = 0; c < 8; ++c) {
        const int32_t p = pred[size_t(r) * ctx->RefPitch + c];
        int32_t d = int32_t(src[size_t(r) * ctx->SrcPitch + c]) - p;
        if (uint32_t(std::abs(d)) <= ctx->ResidueZero || step == 8) d = 0;
        d = d >= 0 ? ((d + unit / 2) >> step) << step : -(((-d + unit / 2) >> step) << step);
        d = d < -p ? -p : (d > 255 - p ? 255 - p : d);
        residue[r * 8 + c] = EncoderWrapResidue(d);
      }
    }
    EncoderBlockBitsReset(&code->Bits);
    if (EncoderWriteResidue(&code->Bits, residue)) break;
  }
  ctx->Kernels->ResidueAdd(code->Recon, 8, residue, pred, ctx->RefPitch);
}

void EncoderTryInter(const EncoderPlaneContext* ctx, uint32_t x, uint32_t y, int32_t mvx,
                     int32_t mvy, const int32_t block[64], const double transformed[64],
                     uint32_t q, double bestCost, EncoderBlockCode* code) {
  EncoderStartCode(code, VideoBlockInter, 0, 8);
  code->Mx = int8_t(mvx);
  code->My = int8_t(mvy);
  code->Quant = uint8_t(q);
  EncoderQuantiseBlock(ctx, x, y, block, transformed, EncoderPrediction(ctx, x, y, mvx, mvy),
                       EncoderGetQuantiser(true, q), kInterDeadZone, -1023, 1023, code);
  EncoderWriteTransform(ctx, x, y, bestCost, code);
}

bool EncoderFits(const EncoderPlaneContext* ctx, const EncoderBlockCode* code, uint32_t slot) {
  uint32_t use[VideoBundleCount];
  EncoderBlockUse(code, use);
  for (uint32_t i = 0; i < VideoBundleCount; ++i) {
    if (ctx->RowUse[slot][i] + use[i] > ctx->RowLimit[i]) return false;
  }
  return true;
}

// Pattern and raw blocks take all their values from bundles, so their rate is known from the
// counts alone: a started code is described only when that rate can beat the best cost.
bool EncoderRateCanWin(const EncoderPlaneContext* ctx, uint32_t y, uint32_t colours,
                       uint32_t patterns, const EncoderBlockCode* best, EncoderBlockCode* code) {
  code->ColourCount = colours;
  code->PatternCount = patterns;
  const bool can = ctx->Lambda * EncoderRate(ctx, y, code) < best->Cost;
  code->ColourCount = code->PatternCount = 0;
  return can;
}

// Keeps the candidate when it is cheaper than the best so far and fits the row's bundles.
void EncoderConsider(const EncoderPlaneContext* ctx, uint32_t x, uint32_t y, uint32_t slot,
                     EncoderBlockCode* candidate, EncoderBlockCode* best) {
  if (candidate->Unwritten) return;
  EncoderFinishCode(ctx, x, y, candidate);
  if (candidate->Cost < best->Cost && EncoderFits(ctx, candidate, slot)) *best = *candidate;
}

// The quantisers a transform block tries, in order: the base one, the next finer, and the next
// coarser (EncoderTryCoarser decides whether to try that one).
uint32_t EncoderQuantisers(const EncoderPlaneContext* ctx, uint32_t out[3]) {
  uint32_t n = 0;
  out[n++] = ctx->Quantiser;
  if (ctx->Quantiser > 0) out[n++] = ctx->Quantiser - 1;
  if (ctx->Quantiser < 15) out[n++] = ctx->Quantiser + 1;
  return n;
}

// Cost is close to convex in the quantiser: the coarser neighbour is tried (as the third) only
// when the finer one did not beat the base.
bool EncoderTryCoarser(uint32_t i, const double costs[3]) { return i < 2 || costs[1] >= costs[0]; }

bool EncoderAllowed(const EncoderPlaneContext* ctx, int32_t type) {
  // A restriction to a type that cannot be used here (a reference type in a key frame, or the
  // scaled type on a single block) leaves the choice free.
  const int32_t only = ctx->OnlyType;
  const bool needsReference = only == VideoBlockSkip || EncoderUsesMotion(uint32_t(only));
  const bool forced = only >= 0 && only != VideoBlockScaled && (ctx->Ref || !needsReference);
  return !forced || only == type;
}

void EncoderCopy8x8(const uint8_t* src, uint32_t pitch, uint8_t out[64]) {
  for (uint32_t r = 0; r < 8; ++r) std::memcpy(out + r * 8, src + size_t(r) * pitch, 8);
}

void EncoderTryIntraTypes(EncoderPlaneContext* ctx, uint32_t x, uint32_t y, uint32_t slot,
                          EncoderBlockCode* candidate, EncoderBlockCode* best) {
  const uint8_t* src = EncoderAt(ctx->Src, ctx->SrcPitch, x, y);
  uint8_t d[64];
  EncoderCopy8x8(src, ctx->SrcPitch, d);
  if (EncoderAllowed(ctx, VideoBlockIntra)) {
    int32_t block[64];
    double transformed[64];
    EncoderLoadBlock(src, ctx->SrcPitch, block);
    EncoderForwardTransform(block, transformed);
    uint32_t quants[3];
    double costs[3];
    const uint32_t n = EncoderQuantisers(ctx, quants);
    for (uint32_t i = 0; i < n && EncoderTryCoarser(i, costs); ++i) {
      EncoderStartCode(candidate, VideoBlockIntra, 0, 8);
      EncoderDescribeIntra(ctx, x, y, block, transformed, quants[i], best->Cost, candidate);
      EncoderConsider(ctx, x, y, slot, candidate, best);
      costs[i] = candidate->Cost;
    }
  }
  if (EncoderAllowed(ctx, VideoBlockFill)) {
    EncoderStartCode(candidate, VideoBlockFill, 0, 8);
    EncoderDescribeFill(ctx, src, ctx->SrcPitch, 8, candidate);
    EncoderConsider(ctx, x, y, slot, candidate, best);
  }
  EncoderStartCode(candidate, VideoBlockPattern, 0, 8);
  if (EncoderAllowed(ctx, VideoBlockPattern) && EncoderRateCanWin(ctx, y, 2, 8, best, candidate)) {
    EncoderDescribePattern(ctx, d, candidate);
    EncoderConsider(ctx, x, y, slot, candidate, best);
  }
  EncoderStartCode(candidate, VideoBlockRaw, 0, 8);
  if (EncoderAllowed(ctx, VideoBlockRaw) && EncoderRateCanWin(ctx, y, 64, 0, best, candidate)) {
    EncoderDescribeRaw(ctx, d, candidate);
    EncoderConsider(ctx, x, y, slot, candidate, best);
  }
  if (EncoderAllowed(ctx, VideoBlockRun)) {
    EncoderStartCode(candidate, VideoBlockRun, 0, 8);
    if (EncoderDescribeRun(ctx, d, ctx->Costs->BlockType[VideoBlockRun], best->Cost,
                           ctx->OnlyType == VideoBlockRun, candidate))
      EncoderConsider(ctx, x, y, slot, candidate, best);
  }
}

// Residue and inter blocks over the prediction at one vector.
void EncoderTryPredicted(EncoderPlaneContext* ctx, uint32_t x, uint32_t y, uint32_t slot,
                         int32_t mvx, int32_t mvy, EncoderBlockCode* candidate,
                         EncoderBlockCode* best) {
  if (EncoderAllowed(ctx, VideoBlockResidue)) {
    EncoderTryResidue(ctx, x, y, mvx, mvy, candidate);
    EncoderConsider(ctx, x, y, slot, candidate, best);
  }
  if (!EncoderAllowed(ctx, VideoBlockInter)) return;
  const uint8_t* src = EncoderAt(ctx->Src, ctx->SrcPitch, x, y);
  const uint8_t* pred = EncoderPrediction(ctx, x, y, mvx, mvy);
  int32_t block[64];
  for (uint32_t r = 0; r < 8; ++r) {
    for (uint32_t c = 0; c < 8; ++c) {
      block[r * 8 + c] = int32_t(src[size_t(r) * ctx->SrcPitch + c]) -
                         int32_t(pred[size_t(r) * ctx->RefPitch + c]);
    }
  }
  double transformed[64];
  EncoderForwardTransform(block, transformed);
  uint32_t quants[3];
  double costs[3];
  const uint32_t n = EncoderQuantisers(ctx, quants);
  for (uint32_t i = 0; i < n && EncoderTryCoarser(i, costs); ++i) {
    EncoderTryInter(ctx, x, y, mvx, mvy, block, transformed, quants[i], best->Cost, candidate);
    EncoderConsider(ctx, x, y, slot, candidate, best);
    costs[i] = candidate->Cost;
  }
}

// Skip, and motion, residue and inter blocks over the searched vector.
void EncoderTryReferenceTypes(EncoderPlaneContext* ctx, uint32_t x, uint32_t y, uint32_t slot,
                              int32_t mvx, int32_t mvy, EncoderBlockCode* candidate,
                              EncoderBlockCode* best) {
  if (EncoderAllowed(ctx, VideoBlockSkip)) {
    EncoderTrySkip(ctx, x, y, candidate);
    EncoderConsider(ctx, x, y, slot, candidate, best);
  }
  if (EncoderAllowed(ctx, VideoBlockMotion)) {
    EncoderTryMotion(ctx, x, y, mvx, mvy, candidate);
    EncoderConsider(ctx, x, y, slot, candidate, best);
  }
  EncoderTryPredicted(ctx, x, y, slot, mvx, mvy, candidate, best);
}

bool EncoderIsTransform(const EncoderBlockCode* code) {
  return code->Type == VideoBlockInter || EncoderTakesIntraDc(code);
}

// Rate-distortion refinement of the chosen transform block: coefficients of magnitude 1, last
// first (up to four; more trials hardly ever pay), are dropped where the bits they save are
// worth more than the error they remove.
void EncoderRefineTransform(const EncoderPlaneContext* ctx, uint32_t x, uint32_t y,
                            EncoderBlockCode* best) {
  if (!EncoderIsTransform(best)) return;
  EncoderBlockCode trial = *best;
  uint32_t trials = 0;
  for (uint32_t k = 63; k >= 1 && trials < 4; --k) {
    const uint32_t at = VideoCoefScan[k];
    if (best->Coefs[at] != 1 && best->Coefs[at] != -1) continue;
    ++trials;
    trial.Coefs[at] = 0;
    EncoderReconstruct(ctx, x, y, &trial);
    EncoderWriteTransform(ctx, x, y, best->Cost, &trial);
    if (!trial.Unwritten) EncoderFinishCode(ctx, x, y, &trial);
    if (!trial.Unwritten && trial.Cost < best->Cost) {
      *best = trial;
    } else {
      trial.Coefs[at] = best->Coefs[at];
    }
  }
}

// The 2x2 averages of a 16x16 area.
void EncoderHalve(const uint8_t* src, uint32_t pitch, uint8_t d[64]) {
  for (uint32_t r = 0; r < 8; ++r) {
    for (uint32_t c = 0; c < 8; ++c) {
      const uint8_t* p = src + size_t(2 * r) * pitch + 2 * c;
      d[r * 8 + c] = uint8_t((p[0] + p[1] + p[pitch] + p[pitch + 1] + 2) / 4);
    }
  }
}

bool EncoderSubAllowed(const EncoderPlaneContext* ctx, int32_t subType) {
  return ctx->OnlyType != VideoBlockScaled || ctx->OnlySubType < 0 || ctx->OnlySubType == subType;
}

}  // namespace

void EncoderBlockUse(const EncoderBlockCode* code, uint32_t use[VideoBundleCount]) {
  std::memset(use, 0, sizeof(uint32_t) * VideoBundleCount);
  use[VideoBundleBlockTypes] = 1;
  use[VideoBundleSubBlockTypes] = code->Type == VideoBlockScaled ? 1 : 0;
  use[VideoBundleColours] = code->ColourCount;
  use[VideoBundlePatterns] = code->PatternCount;
  use[VideoBundleXOffsets] = use[VideoBundleYOffsets] = EncoderUsesMotion(code->Type) ? 1 : 0;
  use[VideoBundleDcIntra] = EncoderTakesIntraDc(code) ? 1 : 0;
  use[VideoBundleDcInter] = code->Type == VideoBlockInter ? 1 : 0;
  use[VideoBundleRuns] = code->RunCount;
}

void EncoderBestBlock(EncoderPlaneContext* ctx, uint32_t x, uint32_t y, uint32_t row, int32_t mvx,
                      int32_t mvy, EncoderBlockCode* best) {
  const uint32_t slot = row & 1;
  EncoderBlockCode candidate;
  best->Cost = 1e300;
  if (ctx->Ref) EncoderTryReferenceTypes(ctx, x, y, slot, mvx, mvy, &candidate, best);
  EncoderTryIntraTypes(ctx, x, y, slot, &candidate, best);
  if (best->Cost < 1e300) {
    EncoderRefineTransform(ctx, x, y, best);
    return;
  }
  // Nothing fitted the row's bundles: an intra block takes only a type and a DC, always room.
  const int32_t only = ctx->OnlyType;
  ctx->OnlyType = VideoBlockIntra;
  EncoderTryIntraTypes(ctx, x, y, slot, &candidate, best);
  ctx->OnlyType = only;
}

int EncoderBestScaled(EncoderPlaneContext* ctx, uint32_t x, uint32_t y, EncoderBlockCode* best) {
  const uint8_t* src = EncoderAt(ctx->Src, ctx->SrcPitch, x, y);
  uint8_t d[64];
  EncoderHalve(src, ctx->SrcPitch, d);
  EncoderBlockCode candidate;
  best->Cost = 1e300;
  if (EncoderSubAllowed(ctx, VideoBlockFill)) {
    EncoderStartCode(&candidate, VideoBlockScaled, VideoBlockFill, 16);
    EncoderDescribeFill(ctx, src, ctx->SrcPitch, 16, &candidate);
    EncoderConsider(ctx, x, y, 0, &candidate, best);
  }
  EncoderStartCode(&candidate, VideoBlockScaled, VideoBlockPattern, 16);
  if (EncoderSubAllowed(ctx, VideoBlockPattern) &&
      EncoderRateCanWin(ctx, y, 2, 8, best, &candidate)) {
    EncoderDescribePattern(ctx, d, &candidate);
    EncoderConsider(ctx, x, y, 0, &candidate, best);
  }
  if (EncoderSubAllowed(ctx, VideoBlockIntra)) {
    int32_t block[64];
    double transformed[64];
    for (uint32_t i = 0; i < 64; ++i) block[i] = d[i];
    EncoderForwardTransform(block, transformed);
    uint32_t quants[3];
    double costs[3];
    const uint32_t n = EncoderQuantisers(ctx, quants);
    for (uint32_t i = 0; i < n && EncoderTryCoarser(i, costs); ++i) {
      EncoderStartCode(&candidate, VideoBlockScaled, VideoBlockIntra, 16);
      EncoderDescribeIntra(ctx, x, y, block, transformed, quants[i], best->Cost,
                           &candidate);
      EncoderConsider(ctx, x, y, 0, &candidate, best);
      costs[i] = candidate.Cost;
    }
  }
  EncoderStartCode(&candidate, VideoBlockScaled, VideoBlockRaw, 16);
  if (EncoderSubAllowed(ctx, VideoBlockRaw) && EncoderRateCanWin(ctx, y, 64, 0, best, &candidate)) {
    EncoderDescribeRaw(ctx, d, &candidate);
    EncoderConsider(ctx, x, y, 0, &candidate, best);
  }
  if (EncoderSubAllowed(ctx, VideoBlockRun)) {
    EncoderStartCode(&candidate, VideoBlockScaled, VideoBlockRun, 16);
    const double typeRate =
        2 * ctx->Costs->BlockType[VideoBlockScaled] + ctx->Costs->SubType[VideoBlockRun];
    if (EncoderDescribeRun(ctx, d, typeRate, best->Cost, ctx->OnlySubType == VideoBlockRun,
                           &candidate))
      EncoderConsider(ctx, x, y, 0, &candidate, best);
  }
  if (best->Cost >= 1e300) return 0;
  EncoderRefineTransform(ctx, x, y, best);
  return 1;
}
