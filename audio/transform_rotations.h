// The steps between a real sequence and its half-length complex FFT (the rotations and the
// DCT's final butterflies), each as a scalar reference and an SSE2 version that performs the
// same float operations per value, so both give the same bits. audio_transform.h declares the
// versions the transforms use.
#pragma once

#include <cstdint>

void AudioRealDftBackwardPreReference(uint32_t n, float* a, uint32_t nc, const float* c);
void AudioRealDftForwardPostReference(uint32_t n, float* a, uint32_t nc, const float* c);
void AudioDctPreRotateReference(uint32_t n, float* a, uint32_t nc, const float* c);
void AudioDctFinalButterfliesReference(uint32_t n, float* a);
#if defined(__SSE2__)
void AudioRealDftBackwardPreSse2(uint32_t n, float* a, uint32_t nc, const float* c);
void AudioRealDftForwardPostSse2(uint32_t n, float* a, uint32_t nc, const float* c);
void AudioDctPreRotateSse2(uint32_t n, float* a, uint32_t nc, const float* c);
void AudioDctFinalButterfliesSse2(uint32_t n, float* a);
#endif
