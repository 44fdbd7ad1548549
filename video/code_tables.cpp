#include "video/code_tables.h"

// Explicit list: n + 1 symbols of 4 bits, then the values not named, in increasing order.
static void VideoReadSymbolList(VideoBitReader* r, uint8_t symbols[16]) {
  const uint32_t n = VideoReadBits(r, 3);
  bool taken[16] = {};
  for (uint32_t i = 0; i <= n; ++i) {
    symbols[i] = uint8_t(VideoReadBits(r, 4));
    taken[symbols[i]] = true;
  }
  // At most 8 values are named, so the values not taken always fill the remaining positions.
  uint32_t position = n + 1;
  for (uint32_t value = 0; value < 16 && position < 16; ++value) {
    if (!taken[value]) symbols[position++] = uint8_t(value);
  }
}

// Merge passes with run sizes 1, 2, 4, 8: each pair of neighbouring runs is merged, one bit
// choosing between the heads of the two runs while both still have entries.
static void VideoReadMergedSymbols(VideoBitReader* r, uint8_t symbols[16]) {
  const uint32_t passes = VideoReadBits(r, 2) + 1;
  uint8_t in[16];
  for (uint32_t i = 0; i < 16; ++i) in[i] = uint8_t(i);
  for (uint32_t pass = 0, run = 1; pass < passes; ++pass, run *= 2) {
    uint8_t out[16];
    uint32_t o = 0;
    for (uint32_t pair = 0; pair < 16; pair += 2 * run) {
      uint32_t a = pair, aEnd = pair + run, b = pair + run, bEnd = pair + 2 * run;
      while (a < aEnd && b < bEnd) out[o++] = VideoReadBit(r) ? in[b++] : in[a++];
      while (a < aEnd) out[o++] = in[a++];
      while (b < bEnd) out[o++] = in[b++];
    }
    for (uint32_t i = 0; i < 16; ++i) in[i] = out[i];
  }
  for (uint32_t i = 0; i < 16; ++i) symbols[i] = in[i];
}

void VideoReadCodeTree(VideoBitReader* r, VideoCodeTree* tree) {
  tree->Table = VideoReadBits(r, 4);
  if (tree->Table == 0) {
    for (uint32_t i = 0; i < 16; ++i) tree->Symbols[i] = uint8_t(i);
  } else if (VideoReadBit(r)) {
    VideoReadSymbolList(r, tree->Symbols);
  } else {
    VideoReadMergedSymbols(r, tree->Symbols);
  }
}
