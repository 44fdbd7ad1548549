// Bit writers of the video encoder: the bit order of the decoder's reader (32-bit little-endian
// words, first bit in bit 0), and a model of which words the reader loads, because the next plane
// starts at the word after the last one the reader of this plane loaded.
#pragma once

#include <cstdint>
#include <vector>

// A short bit string made while trying a block (inline bits: scan indices, flags, coefficients,
// residues, quantisers). Writing past its capacity sets Overflow; such a try is not used.
struct EncoderBlockBits {
  static constexpr uint32_t CapacityWords = 64;
  uint64_t Words[CapacityWords];
  uint32_t Count;
  bool Overflow;
};

inline void EncoderBlockBitsReset(EncoderBlockBits* b) {
  b->Count = 0;
  b->Overflow = false;
}

// Appends n bits (0..32) of value, first bit in bit 0.
inline void EncoderBlockBitsPut(EncoderBlockBits* b, uint32_t value, uint32_t n) {
  if (n == 0) return;
  if (b->Count + n > EncoderBlockBits::CapacityWords * 64) {
    b->Overflow = true;
    return;
  }
  const uint64_t v = n == 32 ? value : value & ((1u << n) - 1);
  const uint32_t word = b->Count / 64, shift = b->Count % 64;
  if (shift == 0) b->Words[word] = 0;
  b->Words[word] |= v << shift;
  if (shift + n > 64) b->Words[word + 1] = v >> (64 - shift);
  b->Count += n;
}

// A growing bit string (one block row's inline bits).
struct EncoderBitBuffer {
  std::vector<uint64_t> Words;
  uint64_t Count = 0;
};

void EncoderBitBufferPut(EncoderBitBuffer* b, uint64_t value, uint32_t n);  // n = 0..64
void EncoderBitBufferAppend(EncoderBitBuffer* b, const EncoderBlockBits* bits);

// A plane's bit stream. Written counts the bits the decoder consumes, Loaded the bits of the
// words it has loaded by then: a plain read of n bits loads a word when fewer than n are
// buffered; a code read first peeks its table's longest code length.
struct VideoBitWriter {
  EncoderBitBuffer Bits;
  uint64_t Loaded = 0;
};

void EncoderWriteBits(VideoBitWriter* w, uint32_t value, uint32_t n);
// Writes code index `code` of prefix-code table `table`.
void EncoderWriteCode(VideoBitWriter* w, uint32_t table, uint32_t code);
// Appends bits read with plain reads.
void EncoderWriteBuffer(VideoBitWriter* w, const EncoderBitBuffer* bits);
// The plane's bytes: the bits, then zero bits up to the end of the last word the decoder loads.
std::vector<uint8_t> EncoderFinishPlane(const VideoBitWriter* w);
