// CPU feature detection for the kernel tables (compiler built-ins, no OS header).
#include "platform/cpu_features.h"

namespace {

uint32_t PlatformDetectCpuFeatures() {
  uint32_t flags = 0;
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("sse2")) flags |= PlatformCpuSse2;
  if (__builtin_cpu_supports("avx2")) flags |= PlatformCpuAvx2;
#endif
  return flags;
}

}  // namespace

uint32_t PlatformCpuFeatures() {
  static const uint32_t flags = PlatformDetectCpuFeatures();
  return flags;
}
