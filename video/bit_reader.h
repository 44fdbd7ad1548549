// The video bit reader: 32-bit little-endian words, next bit in bit 0.
//
// Positions are byte offsets from the start of the frame's video data. Every byte at or beyond
// the end of the frame's data reads as zero, so a reader never touches memory past that end,
// however far a damaged stream runs on.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "the word loads assume little-endian");

struct VideoBitReader {
  const uint8_t* Data;  // first byte of the frame's video data
  uint64_t Size;        // bytes of real data from Data
  uint64_t Pos;         // offset of the next word to load
  uint64_t Bits;        // bits not yet consumed, the next one in bit 0
  uint32_t BitsLeft;    // valid bits in Bits
};

inline void VideoBitReaderInit(VideoBitReader* r, const uint8_t* data, uint64_t size,
                               uint64_t start) {
  r->Data = data;
  r->Size = size;
  r->Pos = start;
  r->Bits = 0;
  r->BitsLeft = 0;
}

// Reads the little-endian 32-bit word at offset pos; bytes past the data read as zero.
inline uint32_t VideoPeekWord(const uint8_t* data, uint64_t size, uint64_t pos) {
  uint32_t w = 0;
  if (pos + 4 <= size) {
    std::memcpy(&w, data + pos, 4);
  } else if (pos < size) {
    std::memcpy(&w, data + pos, size_t(size - pos));
  }
  return w;
}

// Appends the next word behind the buffered bits (at most 31 are buffered when this is called).
inline void VideoLoadWord(VideoBitReader* r) {
  r->Bits |= uint64_t(VideoPeekWord(r->Data, r->Size, r->Pos)) << r->BitsLeft;
  r->Pos += 4;
  r->BitsLeft += 32;
}

// Reads n bits (1..32), the first bit read in bit 0. Loads a word only when fewer than n bits
// are buffered.
inline uint32_t VideoReadBits(VideoBitReader* r, uint32_t n) {
  if (r->BitsLeft < n) VideoLoadWord(r);
  const uint32_t value = uint32_t(r->Bits & ((uint64_t(1) << n) - 1));
  r->Bits >>= n;
  r->BitsLeft -= n;
  return value;
}

inline uint32_t VideoReadBit(VideoBitReader* r) { return VideoReadBits(r, 1); }

// The next n bits without consuming them (n <= 32); loads a word when fewer are buffered.
inline uint32_t VideoPeekBits(VideoBitReader* r, uint32_t n) {
  if (r->BitsLeft < n) VideoLoadWord(r);
  return uint32_t(r->Bits & ((uint64_t(1) << n) - 1));
}

inline void VideoSkipBits(VideoBitReader* r, uint32_t n) {
  r->Bits >>= n;
  r->BitsLeft -= n;
}

// Loads a word ahead when fewer than 32 bits are buffered, so that the next 32 bits can be peeked
// (scanned for a run of zero bits) without a load.
inline void VideoBufferWord(VideoBitReader* r) {
  if (r->BitsLeft < 32) VideoLoadWord(r);
}

// Returns a word that VideoBufferWord loaded ahead but no read has reached yet. A reader that only
// read bits since it stood at word offset startPos then holds exactly the words a reader without
// the look-ahead would hold: those its reads reached, and at least those it held at startPos.
inline void VideoUnbufferWord(VideoBitReader* r, uint64_t startPos) {
  if (r->BitsLeft < 32 || r->Pos <= startPos) return;
  r->Pos -= 4;
  r->BitsLeft -= 32;
  r->Bits &= (uint64_t(1) << r->BitsLeft) - 1;
}

// True when reading n more bits would load a word at or past `end`: the list readers give up
// there instead of decoding values from beyond the data.
inline bool VideoWouldLoadPast(const VideoBitReader* r, uint32_t n, uint64_t end) {
  return r->BitsLeft < n && r->Pos >= end;
}
