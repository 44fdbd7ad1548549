// The pixel kernels under the checkasm harness: every SIMD row converter and post-step beside
// its scalar reference.
#pragma once

#include <cstdint>

#include "tests/checkasm/checkasm.h"

uint32_t CheckasmPixelsCandidates(CheckasmCandidate* out, uint32_t capacity);
