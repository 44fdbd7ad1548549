// Bit reader of the audio blocks: fields of up to 31 bits taken least-significant bit first
// from consecutive little-endian 32-bit words.
//
// The block holds the whole words that start before the end pointer; bytes of the last word
// at or beyond the end are never read and count as zero. The reader keeps only its bit
// position: a field either fits in the block's words or fails, and once one fails the reader
// stays failed, so a block stops reading at its first short field. Words are taken only when
// the bits in hand run out, so the words used are those the consumed bits reach; after a
// failure they are all of the block's words.
#pragma once

#include <cstdint>
#include <cstring>

struct AudioBitReader {
  const uint8_t* Start;
  uint64_t Length;    // bytes from Start to the end pointer
  uint64_t Limit;     // bits of the whole words that start before the end
  uint64_t Position;  // bits consumed
  uint32_t Failed;
};

inline void AudioBitReaderInit(AudioBitReader* reader, const uint8_t* start, const uint8_t* end) {
  const auto length = static_cast<uint64_t>(end - start);
  *reader = AudioBitReader{start, length, (length + 3) / 4 * 32, 0, 0};
}

// Bytes of the words fetched so far.
inline uint32_t AudioBitReaderUsedBytes(const AudioBitReader* reader) {
  const uint64_t bits = reader->Failed != 0 ? reader->Limit : reader->Position;
  return static_cast<uint32_t>((bits + 31) / 32 * 4);
}

// 1 when the next `bits` bits lie within the block's words.
inline bool AudioBitReaderHas(const AudioBitReader* reader, uint64_t bits) {
  return reader->Position + bits <= reader->Limit;
}

// The bits from the position on, the next one in bit 0: at least 57 of them, zero beyond the
// end pointer. One unaligned load away from the end, byte by byte near it.
inline uint64_t AudioBitReaderPeek(const AudioBitReader* reader) {
  const uint64_t byte = reader->Position / 8;
  uint64_t bits = 0;
  if (byte + 8 <= reader->Length) {
    std::memcpy(&bits, reader->Start + byte, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    bits = __builtin_bswap64(bits);
#endif
  } else {
    for (uint64_t i = byte; i < reader->Length && i < byte + 8; ++i)
      bits |= static_cast<uint64_t>(reader->Start[i]) << (8 * (i - byte));
  }
  return bits >> (reader->Position % 8);
}

// Reads a field of 1..31 bits into *value; 0 when the input ends first (the reader then fails).
inline int AudioReadBits(AudioBitReader* reader, uint32_t bits, uint32_t* value) {
  if (reader->Failed != 0 || !AudioBitReaderHas(reader, bits)) {
    reader->Failed = 1;
    return 0;
  }
  *value = static_cast<uint32_t>(AudioBitReaderPeek(reader)) & ((1u << bits) - 1);
  reader->Position += bits;
  return 1;
}
