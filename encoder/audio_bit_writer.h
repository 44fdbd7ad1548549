// Bit writer of the audio encoder: fields packed least-significant bit first into
// little-endian 32-bit words, the mirror of AudioBitReader.
#pragma once

#include <cstdint>
#include <vector>

struct AudioBitWriter {
  std::vector<uint8_t>* Out;
  uint64_t Bits;   // bits not yet stored, the first in bit 0
  uint32_t Count;  // how many
};

inline void AudioBitWriterInit(AudioBitWriter* w, std::vector<uint8_t>* out) {
  *w = AudioBitWriter{out, 0, 0};
}

inline void AudioBitWriterStoreWord(AudioBitWriter* w) {
  for (int i = 0; i < 4; ++i) w->Out->push_back(static_cast<uint8_t>(w->Bits >> (8 * i)));
  w->Bits >>= 32;
}

// Appends the low `bits` (1..31) bits of value.
inline void AudioBitWriterPut(AudioBitWriter* w, uint32_t value, uint32_t bits) {
  w->Bits |= static_cast<uint64_t>(value & ((1u << bits) - 1)) << w->Count;
  w->Count += bits;
  if (w->Count >= 32) {
    AudioBitWriterStoreWord(w);
    w->Count -= 32;
  }
}

// Stores the last partial word, its unused bits zero.
inline void AudioBitWriterFinish(AudioBitWriter* w) {
  if (w->Count > 0) AudioBitWriterStoreWord(w);
  w->Count = 0;
}
