// Runtime choice of the kernels: the scalar reference with the SIMD sets the processor runs.
#include "pixels/convert.h"
#include "platform/cpu_features.h"

const PixelKernelSet* PixelKernelSets(uint32_t* count) {
  static const PixelKernelSet all[] = {{PlatformCpuSse2, PixelKernelsSse2()},
                                       {PlatformCpuSse2 | PlatformCpuAvx2, PixelKernelsAvx2()}};
  static PixelKernelSet built[2];
  static const uint32_t builtCount = [] {
    uint32_t n = 0;
    for (const PixelKernelSet& set : all) {
      if (set.Kernels != nullptr) built[n++] = set;
    }
    return n;
  }();
  *count = builtCount;
  return built;
}

void PixelSelectKernels(PixelKernels* kernels, uint32_t cpuFlags) {
  *kernels = *PixelKernelsScalar();
  uint32_t count;
  const PixelKernelSet* sets = PixelKernelSets(&count);
  for (uint32_t i = 0; i < count; ++i) {
    if ((sets[i].CpuFlags & cpuFlags) != sets[i].CpuFlags) continue;
    const PixelKernels* from = sets[i].Kernels;
    kernels->Name = from->Name;
#define PIXEL_OVERLAY(slot) \
  if (from->slot != nullptr) kernels->slot = from->slot
    PIXEL_OVERLAY(Rgb32);
    PIXEL_OVERLAY(Rgb32Alpha);
    PIXEL_OVERLAY(Rgb24);
    PIXEL_OVERLAY(Rgb16);
    PIXEL_OVERLAY(Rgb16Alpha);
    PIXEL_OVERLAY(Index8);
    PIXEL_OVERLAY(Yuy2);
    PIXEL_OVERLAY(Uyvy);
    PIXEL_OVERLAY(Yuy2Double);
    PIXEL_OVERLAY(UyvyDouble);
    PIXEL_OVERLAY(Pack24);
    PIXEL_OVERLAY(Pack24Double);
    PIXEL_OVERLAY(Double32);
    PIXEL_OVERLAY(Double16);
    PIXEL_OVERLAY(Double8);
#undef PIXEL_OVERLAY
  }
}

const PixelKernels* PixelKernelsBest() {
  static const PixelKernels best = [] {
    PixelKernels k;
    PixelSelectKernels(&k, PlatformCpuFeatures());
    return k;
  }();
  return &best;
}
