// The processor features the SIMD kernel tables may need, detected once for every subsystem.
#pragma once

#include <cstdint>

enum : uint32_t {
  PlatformCpuSse2 = 1u << 0,
  PlatformCpuAvx2 = 1u << 1,
};

// The features of the processor this runs on (PlatformCpu flags; 0 off x86).
uint32_t PlatformCpuFeatures();
