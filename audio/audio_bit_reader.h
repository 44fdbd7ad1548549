// Bit reader of the audio blocks: fields of up to 31 bits taken least-significant bit first
// from consecutive little-endian 32-bit words, through a 32-bit buffer.
//
// A word is fetched only when the bits in hand run out, and only when it starts before the
// end pointer; its bytes at or beyond the end are never read and count as zero. Once a field
// cannot be completed the reader stays failed, so a block stops reading at its first short
// field.
#pragma once

#include <cstdint>

struct AudioBitReader {
  const uint8_t* Start;
  const uint8_t* Next;  // the next word to fetch
  const uint8_t* End;
  uint32_t Bits;        // bits in hand, the next one in bit 0
  uint32_t Count;       // how many
  uint32_t Failed;
};

inline void AudioBitReaderInit(AudioBitReader* reader, const uint8_t* start, const uint8_t* end) {
  *reader = AudioBitReader{start, start, end, 0, 0, 0};
}

// Bytes of the words fetched so far.
inline uint32_t AudioBitReaderUsedBytes(const AudioBitReader* reader) {
  return static_cast<uint32_t>(reader->Next - reader->Start);
}

// The word at Next, without touching a byte at or beyond End.
inline uint32_t AudioBitReaderLoadWord(const AudioBitReader* reader) {
  const uint8_t* p = reader->Next;
  const auto available = reader->End - p;
  uint32_t word = 0;
  for (int i = 0; i < 4 && i < available; ++i) word |= static_cast<uint32_t>(p[i]) << (8 * i);
  return word;
}

// Reads a field of 1..31 bits into *value; 0 when the input ends first (the reader then fails).
inline int AudioReadBits(AudioBitReader* reader, uint32_t bits, uint32_t* value) {
  if (reader->Failed) return 0;
  if (reader->Count >= bits) {
    *value = reader->Bits & ((1u << bits) - 1);
    reader->Bits >>= bits;
    reader->Count -= bits;
    return 1;
  }
  if (reader->Next >= reader->End) {
    reader->Failed = 1;
    return 0;
  }
  const uint32_t word = AudioBitReaderLoadWord(reader);
  reader->Next += 4;
  const uint32_t fromWord = bits - reader->Count;  // 1..31
  *value = reader->Bits | ((word & ((1u << fromWord) - 1)) << reader->Count);
  reader->Bits = word >> fromWord;
  reader->Count = 32 - fromWord;
  return 1;
}
