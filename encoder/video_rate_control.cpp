#include "encoder/video_rate_control.h"

#include <algorithm>
#include <cmath>

namespace {

// Bits halve about every 3.7 levels on natural pictures (the quantiser steps grow by about a
// quarter per level).
constexpr double kSlope = 0.27;
// A key frame may take this many average frames (under the cap): the frames after it predict
// from it, so its quality pays back.
constexpr double kKeyShare = 1.7;
// Tries stay this far below the cap, so that the model's error rarely forces a second try.
constexpr double kCapMargin = 0.9;
constexpr int kLearnWeightPercent = 50;

double EncoderClampLevel(double level) { return std::clamp(level, 0.0, kEncoderLevelMax); }

// Bits a frame should take: its share, less a part of the debt (plus a part of the surplus).
double EncoderRateTarget(const EncoderRate* r, bool key) {
  const double share = r->FrameBits * (key ? kKeyShare : 1.0) - r->Debt / r->Horizon;
  return std::clamp(share, 0.25 * r->FrameBits, kCapMargin * r->CapBits);
}

const EncoderRateModel* EncoderRateModelFor(const EncoderRate* r, bool key) {
  const EncoderRateModel* own = &r->Models[key ? 1 : 0];
  if (own->Known) return own;
  const EncoderRateModel* other = &r->Models[key ? 0 : 1];
  return other->Known ? other : own;
}

double EncoderLevelFor(const EncoderRate* r, bool key, double bits) {
  const EncoderRateModel* m = EncoderRateModelFor(r, key);
  // A key frame modelled from inter frames costs about three times as much at the same level.
  const double offset = m->Offset + (m == &r->Models[0] && key ? 1.6 : 0.0) -
                        (m == &r->Models[1] && !key ? 1.6 : 0.0);
  return EncoderClampLevel((offset - std::log2(std::max(bits, 1.0))) / kSlope);
}

void EncoderLearn(EncoderRate* r, bool key, double level, uint64_t bits) {
  EncoderRateModel* m = &r->Models[key ? 1 : 0];
  const double seen = std::log2(double(std::max<uint64_t>(bits, 1))) + kSlope * level;
  const double w = m->Known ? kLearnWeightPercent / 100.0 : 1.0;
  m->Offset = (1 - w) * m->Offset + w * seen;
  m->Known = true;
}

}  // namespace

void EncoderRateInit(EncoderRate* r, uint64_t bitsPerSecond, uint32_t frameRate,
                     uint32_t frameRateDiv, uint64_t pixels) {
  *r = EncoderRate{};
  const double fps = frameRateDiv ? double(frameRate) / frameRateDiv : 0.0;
  r->FrameBits = fps > 0 ? double(bitsPerSecond) / fps : double(bitsPerSecond);
  r->CapBits = 2 * r->FrameBits;
  r->Horizon = std::max(fps, 1.0);
  // Before any frame: about two bits per pixel (with chroma) at the finest level.
  for (EncoderRateModel& m : r->Models) m.Offset = std::log2(2.0 * double(std::max<uint64_t>(pixels, 1)));
}

double EncoderRateLevel(const EncoderRate* r, bool key) {
  return EncoderLevelFor(r, key, EncoderRateTarget(r, key));
}

double EncoderRateRetryLevel(EncoderRate* r, bool, double level, uint64_t bits) {
  if (double(bits) <= r->CapBits || level >= kEncoderLevelMax) return -1;
  // The level that this try's bits say lands below the cap, and at least one level coarser, so
  // that tries always make progress.
  const double aim = kCapMargin * kCapMargin * r->CapBits;
  const double step = (std::log2(double(bits)) - std::log2(aim)) / kSlope;
  return EncoderClampLevel(level + std::max(step, 1.0));
}

void EncoderRateUpdate(EncoderRate* r, bool key, double level, uint64_t bits) {
  EncoderLearn(r, key, level, bits);
  r->Debt += double(bits) - r->FrameBits;
}
