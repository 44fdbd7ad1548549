#include "sound/wav_header.h"

#include <cstring>

static void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

static void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, v & 0xFFFF);
  PutLe16(p + 2, v >> 16);
}

void WavHeaderFill(uint8_t* h, uint32_t rate, uint32_t channels, uint32_t bits,
                   uint32_t dataBytes) {
  const uint32_t blockAlign = channels * bits / 8;
  std::memcpy(h, "RIFF", 4);
  PutLe32(h + 4, 36 + dataBytes + (dataBytes & 1));
  std::memcpy(h + 8, "WAVEfmt ", 8);
  PutLe32(h + 16, 16);  // size of the format chunk
  PutLe16(h + 20, 1);   // integer PCM
  PutLe16(h + 22, channels);
  PutLe32(h + 24, rate);
  PutLe32(h + 28, rate * blockAlign);
  PutLe16(h + 32, blockAlign);
  PutLe16(h + 34, bits);
  std::memcpy(h + 36, "data", 4);
  PutLe32(h + 40, dataBytes);
}
