// The canonical 44-byte header of a PCM WAV file.
#pragma once

#include <cstdint>

constexpr uint32_t kWavHeaderBytes = 44;
// The most sample bytes a header can describe: the RIFF size (36 + data + pad byte) is 32-bit.
constexpr uint64_t kWavMaxDataBytes = 0xFFFFFFFFull - 36 - 1;

// Fills the header for dataBytes of samples; an odd dataBytes counts the pad byte that follows
// the data in the RIFF size.
void WavHeaderFill(uint8_t* header, uint32_t rate, uint32_t channels, uint32_t bits,
                   uint32_t dataBytes);
