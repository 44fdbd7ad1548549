// The video encoder's block measures: the sum of absolute differences (motion search) and of
// squared differences (distortion) of two blocks. Each has a scalar reference and, on x86-64
// (where SSE2 is always there), an SSE2 version that checkasm compares with it.
#pragma once

#include <cstdint>

typedef uint32_t (*EncoderMeasureFn)(const uint8_t* a, uint32_t aPitch, const uint8_t* b,
                                     uint32_t bPitch);

struct EncoderKernels {
  EncoderMeasureFn Sad8x8;
  EncoderMeasureFn SquaredError8x8;
  EncoderMeasureFn SquaredError16x16;
};

struct EncoderKernelSet {
  const char* Name;
  const EncoderKernels* Kernels;
};

const EncoderKernels* EncoderReferenceKernels();
// The fastest version this build has.
const EncoderKernels* EncoderGetKernels();
// Every version this build has, the reference first.
const EncoderKernelSet* EncoderKernelSets(uint32_t* count);
