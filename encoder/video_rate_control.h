// Rate control of the video encoder: a quality level for each frame so that the movie lands on a
// bit rate, with no frame above twice the average frame size.
//
// A level is a quantiser index on a continuous scale (0 finest .. 15 coarsest; beyond 15 the
// quantiser stays at 15 and only the rate-distortion trade keeps growing, which leaves more
// blocks skipped or filled). A frame's bits are modelled as log2(bits) = Offset - Slope * level,
// one offset for key frames and one for the others, learnt from the frames encoded so far.
#pragma once

#include <cstdint>

constexpr double kEncoderLevelMax = 24;

struct EncoderRateModel {
  double Offset;  // log2 of the frame's bits at level 0
  bool Known;     // learnt from at least one frame
};

struct EncoderRate {
  double FrameBits;  // the target per frame
  double CapBits;    // no frame takes more
  double Horizon;    // frames over which a surplus or debt is paid back (one second)
  double Debt;       // bits spent beyond the target so far
  double Slope;      // fewer bits per level, log2
  double LastLevel;  // of the last frame, which the next one predicts from
  bool Started;      // a frame has been encoded
  EncoderRateModel Models[2];  // inter frames, key frames
};

// Prepares rate control for bitsPerSecond at frameRate / frameRateDiv frames a second, for
// pictures of `pixels` luma pixels.
void EncoderRateInit(EncoderRate* r, uint64_t bitsPerSecond, uint32_t frameRate,
                     uint32_t frameRateDiv, uint64_t pixels);
// The level to try first for the next frame.
double EncoderRateLevel(const EncoderRate* r, bool key);
// After try number `tries` (from 1), at `level`, took `bits`: a coarser level to try again when
// the frame is above the cap, else a negative value (the frame is kept, also when it cannot get
// any smaller).
double EncoderRateRetryLevel(const EncoderRate* r, uint32_t tries, double level, uint64_t bits);
// Books the frame kept.
void EncoderRateUpdate(EncoderRate* r, bool key, double level, uint64_t bits);
