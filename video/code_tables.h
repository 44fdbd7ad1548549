// The sixteen fixed prefix-code tables of the video stream, and the code trees that map a table's
// code indices to symbols.
#pragma once

#include <array>
#include <cstdint>

#include "video/bit_reader.h"

constexpr uint32_t kVideoCodeTableCount = 16;
constexpr uint32_t kVideoCodeLookupSize = 976;

using VideoCodeTableBytes = std::array<std::array<uint8_t, 16>, kVideoCodeTableCount>;

// Length in bits of each code, by table and code index.
inline constexpr VideoCodeTableBytes VideoCodeLengths = {{
    {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4},
    {1, 4, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5},
    {2, 2, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5},
    {2, 3, 3, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5},
    {3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5},
    {3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5},
    {2, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5},
    {1, 3, 3, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6},
    {1, 2, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6},
    {1, 3, 4, 4, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6},
    {2, 2, 3, 4, 4, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6},
    {1, 4, 4, 4, 4, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6},
    {2, 2, 2, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6},
    {1, 3, 3, 3, 6, 6, 6, 6, 7, 7, 7, 7, 7, 7, 7, 7},
    {1, 3, 3, 3, 5, 6, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7},
    {2, 2, 3, 3, 3, 6, 6, 6, 6, 6, 7, 7, 7, 7, 7, 7},
}};

// Each code's bits, the first bit read (or written) in bit 0.
inline constexpr VideoCodeTableBytes VideoCodeValues = {{
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
    {0, 1, 3, 5, 7, 9, 11, 13, 15, 19, 21, 23, 25, 27, 29, 31},
    {0, 2, 1, 9, 5, 21, 13, 29, 3, 19, 11, 27, 7, 23, 15, 31},
    {0, 2, 6, 1, 9, 5, 13, 29, 3, 19, 11, 27, 7, 23, 15, 31},
    {0, 4, 2, 6, 1, 9, 5, 13, 3, 19, 11, 27, 7, 23, 15, 31},
    {0, 4, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 23, 15, 31},
    {0, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 27, 7, 23, 15, 31},
    {0, 1, 5, 3, 19, 11, 27, 59, 7, 39, 23, 55, 15, 47, 31, 63},
    {0, 1, 3, 19, 11, 43, 27, 59, 7, 39, 23, 55, 15, 47, 31, 63},
    {0, 1, 5, 13, 3, 19, 11, 27, 7, 39, 23, 55, 15, 47, 31, 63},
    {0, 2, 1, 5, 13, 3, 19, 11, 27, 7, 23, 55, 15, 47, 31, 63},
    {0, 1, 9, 5, 13, 3, 19, 11, 27, 7, 23, 55, 15, 47, 31, 63},
    {0, 2, 1, 3, 19, 11, 27, 59, 7, 39, 23, 55, 15, 47, 31, 63},
    {0, 1, 5, 3, 7, 39, 23, 55, 15, 79, 47, 111, 31, 95, 63, 127},
    {0, 1, 5, 3, 7, 23, 55, 119, 15, 79, 47, 111, 31, 95, 63, 127},
    {0, 2, 1, 5, 3, 7, 39, 23, 55, 15, 47, 111, 31, 95, 63, 127},
}};

// The longest code of each table: the number of bits one lookup peeks.
inline constexpr std::array<uint8_t, kVideoCodeTableCount> VideoCodeLongest = {
    4, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 7, 7, 7};

constexpr std::array<uint16_t, kVideoCodeTableCount> VideoBuildCodeLookupStarts() {
  std::array<uint16_t, kVideoCodeTableCount> starts{};
  uint32_t at = 0;
  for (uint32_t t = 0; t < kVideoCodeTableCount; ++t) {
    starts[t] = uint16_t(at);
    at += 1u << VideoCodeLongest[t];
  }
  return starts;
}

// Where each table's entries start in VideoCodeLookup.
inline constexpr std::array<uint16_t, kVideoCodeTableCount> VideoCodeLookupStart =
    VideoBuildCodeLookupStarts();

// Every index whose low `length` bits equal a code's value decodes to that code.
constexpr std::array<uint8_t, kVideoCodeLookupSize> VideoBuildCodeLookup() {
  std::array<uint8_t, kVideoCodeLookupSize> lookup{};
  for (uint32_t t = 0; t < kVideoCodeTableCount; ++t) {
    for (uint32_t index = 0; index < (1u << VideoCodeLongest[t]); ++index) {
      for (uint32_t code = 0; code < 16; ++code) {
        const uint32_t length = VideoCodeLengths[t][code];
        if ((index & ((1u << length) - 1)) == VideoCodeValues[t][code]) {
          lookup[VideoCodeLookupStart[t] + index] = uint8_t(length * 16 + code);
          break;
        }
      }
    }
  }
  return lookup;
}

// One lookup per symbol: table t owns 2^longest entries from VideoCodeLookupStart[t], indexed by
// the next `longest` bits of the stream; an entry is code length * 16 + code index.
inline constexpr std::array<uint8_t, kVideoCodeLookupSize> VideoCodeLookup =
    VideoBuildCodeLookup();

struct VideoCodeTree {
  uint32_t Table;       // 0..15
  uint8_t Symbols[16];  // symbol of each code index
};

// Reads one symbol with the tree's table, consuming only the code's length. Loads a word when
// fewer than the table's longest code are buffered, even if the code turns out shorter.
inline uint32_t VideoReadSymbol(VideoBitReader* r, const VideoCodeTree* tree) {
  const uint32_t t = tree->Table;
  const uint32_t entry =
      VideoCodeLookup[VideoCodeLookupStart[t] + VideoPeekBits(r, VideoCodeLongest[t])];
  VideoSkipBits(r, entry >> 4);
  return tree->Symbols[entry & 15];
}

// Reads a code tree: a table number and the permutation of its symbols.
void VideoReadCodeTree(VideoBitReader* r, VideoCodeTree* tree);
