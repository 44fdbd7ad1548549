// Choosing a plane's code trees: the prefix-code table and the symbol permutation that write a
// list's symbols in the fewest bits, counting the bits of the tree itself.
#pragma once

#include <cstdint>

#include "encoder/video_bit_writer.h"
#include "video/code_tables.h"

// How a tree is written: table 0 (identity), an explicit list of the first symbols, or merge
// passes over the identity.
struct EncoderTreeChoice {
  VideoCodeTree Tree;     // Symbols[code index] = symbol
  uint32_t Explicit;      // 1: explicit list of ListCount symbols; 0: merges (if Table != 0)
  uint32_t ListCount;     // 1..8
  uint32_t Passes;        // merge passes 1..4
  uint8_t MergeBits[64];  // the choice bits of the merges, in reading order
  uint32_t MergeBitCount;
  uint64_t Bits;  // the tree's bits plus the symbols' bits
};

// Chooses the cheapest tree for symbols with the given counts.
void EncoderChooseCodeTree(const uint64_t counts[16], EncoderTreeChoice* choice);
void EncoderWriteCodeTree(VideoBitWriter* w, const EncoderTreeChoice* choice);
// Code index of each symbol under the tree.
void EncoderTreeCodes(const VideoCodeTree* tree, uint8_t codes[16]);
