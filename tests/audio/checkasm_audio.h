// The audio kernels under the checkasm harness: the SSE2 FFT butterflies beside their scalar
// reference.
#pragma once

#include <cstdint>

#include "tests/checkasm/checkasm.h"

uint32_t CheckasmAudioCandidates(CheckasmCandidate* out, uint32_t capacity);
