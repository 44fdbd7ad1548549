// Forward transforms of the audio encoder, the exact counterparts of AudioInverseRealDft and
// AudioInverseDct on the same tables: the inverse of the forward transform of x is (n/2) x (for the
// DCT after halving coefficient 0).
#pragma once

#include <cstdint>

#include "audio/audio_transform.h"

// a[2k] = sum x[j] cos(2*pi*j*k/n), a[2k+1] = sum x[j] sin(2*pi*j*k/n) for 0 < k < n/2,
// a[0] = sum x[j], a[1] = sum x[j] (-1)^j. Table floats: AudioInverseRealDftTableFloats(n).
int ForwardRealDft(uint32_t n, float* a, AudioTransformWork* work, float* table);
// a[k] = sum x[j] cos(pi*(j + 1/2)*k/n). Table floats: AudioInverseDctTableFloats(n).
int ForwardDct(uint32_t n, float* a, AudioTransformWork* work, float* table);
