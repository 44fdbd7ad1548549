#include "encoder/video_bit_writer.h"

#include "video/code_tables.h"

static uint64_t EncoderLowBits(uint64_t value, uint32_t n) {
  return n >= 64 ? value : value & ((uint64_t(1) << n) - 1);
}

void EncoderBitBufferPut(EncoderBitBuffer* b, uint64_t value, uint32_t n) {
  if (n == 0) return;
  const uint64_t v = EncoderLowBits(value, n);
  const uint32_t shift = uint32_t(b->Count % 64);
  if (shift == 0) b->Words.push_back(0);
  b->Words.back() |= v << shift;
  if (shift + n > 64) b->Words.push_back(v >> (64 - shift));
  b->Count += n;
}

void EncoderBitBufferAppend(EncoderBitBuffer* b, const EncoderBlockBits* bits) {
  const uint32_t full = bits->Count / 64;
  for (uint32_t i = 0; i < full; ++i) EncoderBitBufferPut(b, bits->Words[i], 64);
  if (bits->Count % 64) EncoderBitBufferPut(b, bits->Words[full], bits->Count % 64);
}

// A read of n bits finds at least n buffered, or loads the next word first.
static void EncoderModelRead(VideoBitWriter* w, uint32_t peek) {
  if (w->Loaded - w->Bits.Count < peek) w->Loaded += 32;
}

void EncoderWriteBits(VideoBitWriter* w, uint32_t value, uint32_t n) {
  EncoderModelRead(w, n);
  EncoderBitBufferPut(&w->Bits, value, n);
}

void EncoderWriteCode(VideoBitWriter* w, uint32_t table, uint32_t code) {
  EncoderModelRead(w, VideoCodeLongest[table]);
  EncoderBitBufferPut(&w->Bits, VideoCodeValues[table][code], VideoCodeLengths[table][code]);
}

// Plain reads keep the loaded words just ahead of the bits consumed.
void EncoderWriteBuffer(VideoBitWriter* w, const EncoderBitBuffer* bits) {
  const uint64_t full = bits->Count / 64;
  for (uint64_t i = 0; i < full; ++i) EncoderBitBufferPut(&w->Bits, bits->Words[i], 64);
  if (bits->Count % 64)
    EncoderBitBufferPut(&w->Bits, bits->Words[full], uint32_t(bits->Count % 64));
  const uint64_t needed = (w->Bits.Count + 31) / 32 * 32;
  if (w->Loaded < needed) w->Loaded = needed;
}

std::vector<uint8_t> EncoderFinishPlane(const VideoBitWriter* w) {
  std::vector<uint8_t> bytes(size_t(w->Loaded / 8), 0);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const size_t word = i / 8;
    if (word < w->Bits.Words.size()) bytes[i] = uint8_t(w->Bits.Words[word] >> (8 * (i % 8)));
  }
  return bytes;
}
