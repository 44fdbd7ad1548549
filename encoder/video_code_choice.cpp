#include "encoder/video_code_choice.h"

#include <algorithm>
#include <cstring>

// The merge passes of the decoder, each choice taken from `rank` (lower rank first), recording the
// bits that make the decoder take the same choices. Returns the permutation it produces.
static void EncoderMergeSymbols(const uint8_t rank[16], uint32_t passes, uint8_t symbols[16],
                                uint8_t bits[64], uint32_t* bitCount) {
  uint8_t in[16];
  for (uint32_t i = 0; i < 16; ++i) in[i] = uint8_t(i);
  *bitCount = 0;
  for (uint32_t pass = 0, run = 1; pass < passes; ++pass, run *= 2) {
    uint8_t out[16];
    uint32_t o = 0;
    for (uint32_t pair = 0; pair < 16; pair += 2 * run) {
      uint32_t a = pair, aEnd = pair + run, b = pair + run, bEnd = pair + 2 * run;
      while (a < aEnd && b < bEnd) {
        const bool second = rank[in[b]] < rank[in[a]];
        bits[(*bitCount)++] = second ? 1 : 0;
        out[o++] = second ? in[b++] : in[a++];
      }
      while (a < aEnd) out[o++] = in[a++];
      while (b < bEnd) out[o++] = in[b++];
    }
    std::memcpy(in, out, 16);
  }
  std::memcpy(symbols, in, 16);
}

// An explicit list: the first n symbols of `order`, then the others in increasing order.
static void EncoderListSymbols(const uint8_t order[16], uint32_t n, uint8_t symbols[16]) {
  bool taken[16] = {};
  for (uint32_t i = 0; i < n; ++i) {
    symbols[i] = order[i];
    taken[order[i]] = true;
  }
  uint32_t at = n;
  for (uint32_t v = 0; v < 16; ++v) {
    if (!taken[v]) symbols[at++] = uint8_t(v);
  }
}

static uint64_t EncoderSymbolBits(const uint64_t counts[16], uint32_t table,
                                  const uint8_t symbols[16]) {
  uint64_t bits = 0;
  for (uint32_t code = 0; code < 16; ++code) {
    bits += counts[symbols[code]] * VideoCodeLengths[table][code];
  }
  return bits;
}

static void EncoderConsider(EncoderTreeChoice* best, const EncoderTreeChoice* candidate) {
  if (candidate->Bits < best->Bits) *best = *candidate;
}

void EncoderChooseCodeTree(const uint64_t counts[16], EncoderTreeChoice* choice) {
  // Symbols by falling count: every table's code lengths grow with the code index.
  uint8_t order[16], rank[16];
  for (uint32_t i = 0; i < 16; ++i) order[i] = uint8_t(i);
  std::stable_sort(order, order + 16, [&](uint8_t a, uint8_t b) { return counts[a] > counts[b]; });
  for (uint32_t i = 0; i < 16; ++i) rank[order[i]] = uint8_t(i);

  EncoderTreeChoice c{};
  c.Tree.Table = 0;
  for (uint32_t i = 0; i < 16; ++i) c.Tree.Symbols[i] = uint8_t(i);
  c.Bits = 4 + EncoderSymbolBits(counts, 0, c.Tree.Symbols);
  *choice = c;
  for (uint32_t table = 1; table < kVideoCodeTableCount; ++table) {
    c.Tree.Table = table;
    c.Explicit = 1;
    for (uint32_t n = 1; n <= 8; ++n) {
      c.ListCount = n;
      EncoderListSymbols(order, n, c.Tree.Symbols);
      c.Bits = 4 + 1 + 3 + 4 * n + EncoderSymbolBits(counts, table, c.Tree.Symbols);
      EncoderConsider(choice, &c);
    }
    c.Explicit = 0;
    for (uint32_t passes = 1; passes <= 4; ++passes) {
      c.Passes = passes;
      EncoderMergeSymbols(rank, passes, c.Tree.Symbols, c.MergeBits, &c.MergeBitCount);
      c.Bits = 4 + 1 + 2 + c.MergeBitCount + EncoderSymbolBits(counts, table, c.Tree.Symbols);
      EncoderConsider(choice, &c);
    }
  }
}

void EncoderWriteCodeTree(VideoBitWriter* w, const EncoderTreeChoice* choice) {
  EncoderWriteBits(w, choice->Tree.Table, 4);
  if (choice->Tree.Table == 0) return;
  EncoderWriteBits(w, choice->Explicit, 1);
  if (choice->Explicit) {
    EncoderWriteBits(w, choice->ListCount - 1, 3);
    for (uint32_t i = 0; i < choice->ListCount; ++i)
      EncoderWriteBits(w, choice->Tree.Symbols[i], 4);
    return;
  }
  EncoderWriteBits(w, choice->Passes - 1, 2);
  for (uint32_t i = 0; i < choice->MergeBitCount; ++i) EncoderWriteBits(w, choice->MergeBits[i], 1);
}

void EncoderTreeCodes(const VideoCodeTree* tree, uint8_t codes[16]) {
  for (uint32_t code = 0; code < 16; ++code) codes[tree->Symbols[code]] = uint8_t(code);
}
