#include "video/kernels.h"

#include "video/idct.h"

static const VideoKernels kReference = {
    VideoIdctPutReference,     VideoIdctPutDoubledReference, VideoIdctAddReference,
    VideoResidueAddReference,  VideoCopy8x8Reference,        VideoFill8x8Reference,
    VideoFill16x16Reference,   VideoPattern8x8Reference,     VideoPattern16x16Reference,
    VideoDouble8x8Reference,
};

const VideoKernels* VideoReferenceKernels() { return &kReference; }

static const VideoKernelSet kSets[] = {
#if VIDEO_HAVE_SSE2
    {"sse2", PlatformCpuSse2, &VideoKernelsSse2},
#endif
#if VIDEO_HAVE_AVX2
    {"avx2", PlatformCpuAvx2, &VideoKernelsAvx2},
#endif
    {nullptr, 0, nullptr},
};

const VideoKernelSet* VideoKernelSets(uint32_t* count) {
  *count = uint32_t(sizeof(kSets) / sizeof(kSets[0])) - 1;
  return kSets;
}

static void VideoOverlayKernels(VideoKernels* to, const VideoKernels* from) {
#define VIDEO_OVERLAY(slot) \
  if (from->slot) to->slot = from->slot
  VIDEO_OVERLAY(IdctPut);
  VIDEO_OVERLAY(IdctPutDoubled);
  VIDEO_OVERLAY(IdctAdd);
  VIDEO_OVERLAY(ResidueAdd);
  VIDEO_OVERLAY(Copy8x8);
  VIDEO_OVERLAY(Fill8x8);
  VIDEO_OVERLAY(Fill16x16);
  VIDEO_OVERLAY(Pattern8x8);
  VIDEO_OVERLAY(Pattern16x16);
  VIDEO_OVERLAY(Double8x8);
#undef VIDEO_OVERLAY
}

void VideoSelectKernels(VideoKernels* kernels, uint32_t cpuFlags) {
  *kernels = kReference;
  uint32_t count;
  const VideoKernelSet* sets = VideoKernelSets(&count);
  for (uint32_t i = 0; i < count; ++i) {
    if ((sets[i].CpuFlags & cpuFlags) == sets[i].CpuFlags) VideoOverlayKernels(kernels, sets[i].Kernels);
  }
}

const VideoKernels* VideoGetKernels() {
  static const VideoKernels kernels = [] {
    VideoKernels k;
    VideoSelectKernels(&k, PlatformCpuFeatures());
    return k;
  }();
  return &kernels;
}
