// CPU feature detection for the kernel tables (compiler built-ins, no OS header).
#include "video/kernels.h"

static uint32_t VideoDetectCpuFeatures() {
  uint32_t flags = 0;
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("sse2")) flags |= VideoCpuSse2;
  if (__builtin_cpu_supports("ssse3")) flags |= VideoCpuSsse3;
  if (__builtin_cpu_supports("sse4.1")) flags |= VideoCpuSse41;
  if (__builtin_cpu_supports("avx2")) flags |= VideoCpuAvx2;
#endif
  return flags;
}

uint32_t VideoCpuFeatures() {
  static const uint32_t flags = VideoDetectCpuFeatures();
  return flags;
}
