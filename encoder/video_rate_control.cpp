#include "encoder/video_rate_control.h"

#include <algorithm>
#include <cmath>

namespace {

// A key frame may take this many average frames (under the cap): the frames after it predict
// from it, so its quality pays back.
constexpr double kKeyShare = 1.7;
// A key frame modelled from inter frames costs about three times as much at the same level.
constexpr double kKeyOffset = 1.6;
// Tries aim this far below the cap, so that the model's error rarely forces a second try.
constexpr double kCapMargin = 0.8;
// An inter frame's level moves at most this far from the last frame's: a frame much finer than
// its reference repairs the whole picture at once and costs many times the model's estimate,
// which would make the levels swing from frame to frame.
constexpr double kLevelStep = 1.0;
// After this many tries above the cap a frame takes the coarsest level, the smallest it can be.
constexpr uint32_t kMaxTries = 3;
// Inter frames start this much coarser than the key frame before them.
constexpr double kAfterKey = 3.0;

double EncoderClampLevel(double level) { return std::clamp(level, 0.0, kEncoderLevelMax); }

double EncoderLog2Bits(double bits) { return std::log2(std::max(bits, 1.0)); }

// Bits a frame should take: its share, less a part of the debt (plus a part of the surplus).
double EncoderRateTarget(const EncoderRate* r, bool key) {
  const double share = r->FrameBits * (key ? kKeyShare : 1.0) - r->Debt / r->Horizon;
  return std::clamp(share, 0.25 * r->FrameBits, kCapMargin * r->CapBits);
}

// The offset for a kind of frame: its own when learnt, else the other kind's.
double EncoderOffset(const EncoderRate* r, bool key) {
  const EncoderRateModel* own = &r->Models[key ? 1 : 0];
  const EncoderRateModel* other = &r->Models[key ? 0 : 1];
  if (own->Known || !other->Known) return own->Offset;
  return other->Offset + (key ? kKeyOffset : -kKeyOffset);
}

double EncoderLevelFor(const EncoderRate* r, bool key, double bits) {
  return EncoderClampLevel((EncoderOffset(r, key) - EncoderLog2Bits(bits)) / r->Slope);
}

}  // namespace

void EncoderRateInit(EncoderRate* r, uint64_t bitsPerSecond, uint32_t frameRate,
                     uint32_t frameRateDiv, uint64_t pixels) {
  *r = EncoderRate{};
  const double fps = frameRateDiv ? double(frameRate) / frameRateDiv : 0.0;
  r->FrameBits = fps > 0 ? double(bitsPerSecond) / fps : double(bitsPerSecond);
  r->CapBits = 2 * r->FrameBits;
  r->Horizon = std::max(fps, 1.0);
  r->Slope = 0.4;
  // Before any frame: about four bits per pixel (with chroma) at the finest level.
  r->Models[1].Offset = EncoderLog2Bits(4.0 * double(pixels));
  r->Models[0].Offset = r->Models[1].Offset - kKeyOffset;
}

double EncoderRateLevel(const EncoderRate* r, bool key) {
  const double level = EncoderLevelFor(r, key, EncoderRateTarget(r, key));
  if (key || !r->Started) return level;
  return std::clamp(level, r->LastLevel - kLevelStep, r->LastLevel + kLevelStep);
}

double EncoderRateRetryLevel(const EncoderRate* r, uint32_t tries, double level, uint64_t bits) {
  if (double(bits) <= r->CapBits || level >= kEncoderLevelMax) return -1;
  if (tries >= kMaxTries) return kEncoderLevelMax;
  // The level that this try's bits say lands well below the cap, at least half a level coarser
  // so that tries always make progress.
  const double aim = kCapMargin * kCapMargin * r->CapBits;
  const double step = (EncoderLog2Bits(double(bits)) - EncoderLog2Bits(aim)) / r->Slope;
  return EncoderClampLevel(level + std::max(step, 0.5));
}

void EncoderRateUpdate(EncoderRate* r, bool key, double level, uint64_t bits) {
  EncoderRateModel* m = &r->Models[key ? 1 : 0];
  const double seen = EncoderLog2Bits(double(bits)) + r->Slope * level;
  m->Offset = m->Known ? 0.5 * (m->Offset + seen) : seen;
  m->Known = true;
  r->Debt += double(bits) - r->FrameBits;
  r->LastLevel = key ? level + kAfterKey : level;
  r->Started = true;
}
