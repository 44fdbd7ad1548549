#include "encoder/video_bundle_writer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>

#include "encoder/video_code_choice.h"

void EncoderBundlesInit(EncoderPlaneBundles* bundles, uint32_t width, uint32_t rows,
                        bool oldColours) {
  bundles->Width = width;
  bundles->Rows = rows;
  bundles->OldColours = oldColours;
  for (uint32_t i = 0; i < VideoBundleCount; ++i) {
    bundles->Values[i].clear();
    bundles->RowEnd[i].clear();
  }
  bundles->RowBits.assign(rows, EncoderBitBuffer{});
}

void EncoderBundlesEndRow(EncoderPlaneBundles* bundles, uint32_t row) {
  for (uint32_t i = 0; i < VideoBundleCount; ++i) {
    if (bundles->RowEnd[i].size() <= row) bundles->RowEnd[i].resize(row + 1);
    bundles->RowEnd[i][row] = uint32_t(bundles->Values[i].size());
  }
}

uint32_t EncoderBundleRowLimit(uint32_t planeWidth, VideoBundleKind kind) {
  uint32_t countBits, capacity;
  VideoBundleLimits(planeWidth, kind, &countBits, &capacity);
  const uint32_t widest = (1u << countBits) - 1;
  return capacity < widest ? capacity : widest;
}

uint32_t EncoderCodedColour(uint32_t colour, bool oldColours) {
  if (!oldColours) return colour;
  if (colour >= 128) return colour - 128;
  if (colour == 0) colour = 1;
  return 128 | (128 - colour);
}

namespace {

// One refill: values [Begin, End) of a bundle, read at the start of block row Row. Begin = End is a
// count of 0, which finishes the bundle for the rest of the plane.
struct EncoderChunk {
  uint32_t Bundle, Row, Begin, End;
  bool Fill;
};

struct EncoderPlaneCode {
  std::vector<EncoderChunk> Chunks;  // by row, then in bundle order
  EncoderTreeChoice Trees[VideoBundleCount];
  EncoderTreeChoice HighTrees[16];
  uint8_t Codes[VideoBundleCount][16];
  uint8_t HighCodes[16][16];
};

bool EncoderHasFillMode(uint32_t bundle) {
  return bundle != VideoBundlePatterns && bundle != VideoBundleDcIntra &&
         bundle != VideoBundleDcInter;
}

bool EncoderAllEqual(const std::vector<int32_t>& v, uint32_t begin, uint32_t end) {
  for (uint32_t i = begin + 1; i < end; ++i) {
    if (v[i] != v[begin]) return false;
  }
  return true;
}

// The refills of the first plan: at the start of a row, a bundle whose values are all taken is
// refilled with the values of that row or, when the row takes none, of the next row that takes
// some.
void EncoderPlanRowChunks(const EncoderPlaneBundles* bundles, EncoderPlaneCode* code) {
  uint32_t written[VideoBundleCount] = {};
  bool finished[VideoBundleCount] = {};
  for (uint32_t row = 0; row < bundles->Rows; ++row) {
    for (uint32_t bundle = 0; bundle < VideoBundleCount; ++bundle) {
      const std::vector<uint32_t>& ends = bundles->RowEnd[bundle];
      const uint32_t takenBefore = row ? ends[row - 1] : 0;
      if (finished[bundle] || written[bundle] != takenBefore) continue;
      uint32_t end = written[bundle];
      for (uint32_t r = row; r < bundles->Rows && end == written[bundle]; ++r) end = ends[r];
      EncoderChunk chunk = {bundle, row, written[bundle], end, false};
      if (end == written[bundle]) {
        finished[bundle] = true;
      } else {
        chunk.Fill = EncoderHasFillMode(bundle) &&
                     EncoderAllEqual(bundles->Values[bundle], chunk.Begin, chunk.End);
      }
      written[bundle] = end;
      code->Chunks.push_back(chunk);
    }
  }
}

// Block types as symbols: types below 12, and runs of 4, 8, 12 or 32 copies of the last type
// (symbols 12..15); `last` starts at 0 in each refill.
template <typename Emit>
void EncoderBlockTypeSymbols(const int32_t* values, uint32_t count, Emit emit) {
  static const uint32_t runLengths[4] = {32, 12, 8, 4};
  static const uint32_t runSymbols[4] = {15, 14, 13, 12};
  int32_t last = 0;
  for (uint32_t i = 0; i < count;) {
    uint32_t same = 0;
    while (i + same < count && values[i + same] == last) ++same;
    bool ran = false;
    for (uint32_t k = 0; k < 4 && !ran; ++k) {
      if (same >= runLengths[k]) {
        emit(runSymbols[k]);
        i += runLengths[k];
        ran = true;
      }
    }
    if (ran) continue;
    last = values[i++];
    emit(uint32_t(last));
  }
}

struct EncoderSymbolCounts {
  uint64_t Bundle[VideoBundleCount][16];
  uint64_t High[16][16];
};

void EncoderCountColour(EncoderSymbolCounts* counts, uint32_t* lastHigh, uint32_t coded) {
  ++counts->High[*lastHigh][coded >> 4];
  ++counts->Bundle[VideoBundleColours][coded & 15];
  *lastHigh = coded >> 4;
}

void EncoderCountSymbols(const EncoderPlaneBundles* bundles, const EncoderPlaneCode* code,
                         EncoderSymbolCounts* counts) {
  *counts = EncoderSymbolCounts{};
  uint32_t lastHigh = 0;
  for (const EncoderChunk& c : code->Chunks) {
    const int32_t* v = bundles->Values[c.Bundle].data();
    uint64_t* n = counts->Bundle[c.Bundle];
    const uint32_t end = c.Fill ? c.Begin + 1 : c.End;
    switch (c.Bundle) {
      case VideoBundleBlockTypes:
      case VideoBundleSubBlockTypes:
        if (!c.Fill)
          EncoderBlockTypeSymbols(v + c.Begin, c.End - c.Begin, [&](uint32_t s) { ++n[s]; });
        break;
      case VideoBundleColours:
        for (uint32_t i = c.Begin; i < end; ++i) {
          EncoderCountColour(counts, &lastHigh,
                             EncoderCodedColour(uint32_t(v[i]), bundles->OldColours));
        }
        break;
      case VideoBundlePatterns:
        for (uint32_t i = c.Begin; i < c.End; ++i) {
          ++n[v[i] & 15];
          ++n[(v[i] >> 4) & 15];
        }
        break;
      case VideoBundleXOffsets:
      case VideoBundleYOffsets:
      case VideoBundleRuns:
        if (!c.Fill) {
          for (uint32_t i = c.Begin; i < c.End; ++i) ++n[std::abs(v[i]) & 15];
        }
        break;
    }
  }
}

void EncoderChooseTrees(const EncoderSymbolCounts* counts, EncoderPlaneCode* code) {
  for (uint32_t bundle = 0; bundle < VideoBundleCount; ++bundle) {
    EncoderChooseCodeTree(counts->Bundle[bundle], &code->Trees[bundle]);
    EncoderTreeCodes(&code->Trees[bundle].Tree, code->Codes[bundle]);
  }
  for (uint32_t h = 0; h < 16; ++h) {
    EncoderChooseCodeTree(counts->High[h], &code->HighTrees[h]);
    EncoderTreeCodes(&code->HighTrees[h].Tree, code->HighCodes[h]);
  }
}

uint32_t EncoderCodeLength(const EncoderTreeChoice* tree, const uint8_t codes[16], uint32_t s) {
  return VideoCodeLengths[tree->Tree.Table][codes[s & 15]];
}

// Estimated bits of each value of a bundle written in a chunk that is not a fill, under the trees
// chosen: a block-type run code is charged to the first value it covers.
void EncoderValueBits(const EncoderPlaneBundles* bundles, const EncoderPlaneCode* code,
                      uint32_t bundle, std::vector<float>* bits) {
  const std::vector<int32_t>& v = bundles->Values[bundle];
  const EncoderTreeChoice* tree = &code->Trees[bundle];
  const uint8_t* codes = code->Codes[bundle];
  bits->assign(v.size(), 0.0f);
  if (bundle == VideoBundleBlockTypes || bundle == VideoBundleSubBlockTypes) {
    static const uint32_t runLengths[4] = {4, 8, 12, 32};
    size_t at = 0;
    EncoderBlockTypeSymbols(v.data(), uint32_t(v.size()), [&](uint32_t s) {
      (*bits)[at] = float(EncoderCodeLength(tree, codes, s));
      at += s < 12 ? 1 : runLengths[s - 12];
    });
    return;
  }
  uint32_t lastHigh = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    const int32_t value = v[i];
    float b = 0;
    switch (bundle) {
      case VideoBundleColours: {
        const uint32_t coded = EncoderCodedColour(uint32_t(value), bundles->OldColours);
        b = float(EncoderCodeLength(&code->HighTrees[lastHigh], code->HighCodes[lastHigh],
                                    coded >> 4) +
                  EncoderCodeLength(tree, codes, coded));
        lastHigh = coded >> 4;
        break;
      }
      case VideoBundlePatterns:
        b = float(EncoderCodeLength(tree, codes, uint32_t(value)) +
                  EncoderCodeLength(tree, codes, uint32_t(value) >> 4));
        break;
      case VideoBundleXOffsets:
      case VideoBundleYOffsets:
        b = float(EncoderCodeLength(tree, codes, uint32_t(std::abs(value))) + (value ? 1 : 0));
        break;
      case VideoBundleDcIntra:
      case VideoBundleDcInter: {
        // The width and sign of the difference, plus a share of its group's 4-bit header.
        const int32_t d = i ? value - v[i - 1] : 0;
        b = float(std::bit_width(uint32_t(std::abs(d)))) + (d ? 1.5f : 0.5f);
        break;
      }
      case VideoBundleRuns:
        b = float(EncoderCodeLength(tree, codes, uint32_t(value)));
        break;
    }
    (*bits)[i] = b;
  }
}

// Bits of a refill beside its values: the count, the fill flag, and for the DC bundles the first
// value, which is written whole.
float EncoderChunkHeaderBits(const EncoderPlaneBundles* bundles, uint32_t bundle,
                             float firstValueBits) {
  uint32_t countBits, capacity;
  VideoBundleLimits(bundles->Width, VideoBundleKind(bundle), &countBits, &capacity);
  float bits = float(countBits) + (EncoderHasFillMode(bundle) ? 1.0f : 0.0f);
  if (bundle == VideoBundleDcIntra || bundle == VideoBundleDcInter) bits += 11.0f - firstValueBits;
  return bits;
}

// Bits of a fill refill's one value.
float EncoderFillBits(uint32_t bundle, int32_t value, float valueBits) {
  if (bundle == VideoBundleColours) return valueBits;
  if (bundle == VideoBundleXOffsets || bundle == VideoBundleYOffsets) return value ? 5.0f : 4.0f;
  return 4.0f;
}

// The refills of one bundle: consecutive rows that take values share a refill where the count
// and header bits saved outweigh a lost fill, up to the largest count a refill carries. Each
// refill is read at the start of the row after the last row of the one before it.
void EncoderPlanBundle(const EncoderPlaneBundles* bundles, uint32_t bundle,
                       const std::vector<float>& bits, std::vector<EncoderChunk>* chunks) {
  const std::vector<uint32_t>& ends = bundles->RowEnd[bundle];
  const std::vector<int32_t>& v = bundles->Values[bundle];
  const uint32_t limit = EncoderBundleRowLimit(bundles->Width, VideoBundleKind(bundle));
  const bool fillable = EncoderHasFillMode(bundle);
  std::vector<uint32_t> rows;  // the rows that take values
  for (uint32_t r = 0; r < bundles->Rows; ++r) {
    if (ends[r] > (r ? ends[r - 1] : 0)) rows.push_back(r);
  }
  std::vector<double> sum(v.size() + 1, 0.0);
  for (size_t i = 0; i < v.size(); ++i) sum[i + 1] = sum[i] + bits[i];
  const size_t m = rows.size();
  std::vector<double> best(m + 1, 1e300);
  std::vector<uint32_t> from(m + 1, 0);
  std::vector<uint8_t> fill(m + 1, 0);
  best[0] = 0;
  auto rowBegin = [&](size_t i) { return rows[i] ? ends[rows[i] - 1] : 0u; };
  for (size_t j = 0; j < m; ++j) {
    const uint32_t end = ends[rows[j]];
    bool equal = fillable;
    for (size_t i = j + 1; i-- > 0;) {
      const uint32_t begin = rowBegin(i);
      if (end - begin > limit) break;
      for (uint32_t k = begin; equal && k < ends[rows[i]]; ++k) equal = v[k] == v[end - 1];
      const double values =
          equal ? EncoderFillBits(bundle, v[begin], bits[begin]) : sum[end] - sum[begin];
      const double cost = best[i] + EncoderChunkHeaderBits(bundles, bundle, bits[begin]) + values;
      if (cost < best[j + 1]) {
        best[j + 1] = cost;
        from[j + 1] = uint32_t(i);
        fill[j + 1] = equal ? 1 : 0;
      }
    }
  }
  std::vector<EncoderChunk> planned;
  for (size_t j = m; j > 0; j = from[j]) {
    const size_t i = from[j];
    const uint32_t row = i ? rows[i - 1] + 1 : 0;
    planned.push_back({bundle, row, rowBegin(i), ends[rows[j - 1]], fill[j] != 0});
  }
  std::reverse(planned.begin(), planned.end());
  chunks->insert(chunks->end(), planned.begin(), planned.end());
  // A count of 0 finishes the bundle once its last values are taken.
  const uint32_t after = m ? rows[m - 1] + 1 : 0;
  const uint32_t taken = m ? ends[rows[m - 1]] : 0;
  if (after < bundles->Rows) chunks->push_back({bundle, after, taken, taken, false});
}

// Replans every bundle's refills under the trees chosen for the first plan, in stream order.
void EncoderPlanChunks(const EncoderPlaneBundles* bundles, EncoderPlaneCode* code) {
  std::vector<EncoderChunk> chunks;
  std::vector<float> bits;
  for (uint32_t bundle = 0; bundle < VideoBundleCount; ++bundle) {
    EncoderValueBits(bundles, code, bundle, &bits);
    EncoderPlanBundle(bundles, bundle, bits, &chunks);
  }
  std::stable_sort(chunks.begin(), chunks.end(), [](const EncoderChunk& a, const EncoderChunk& b) {
    return a.Row != b.Row ? a.Row < b.Row : a.Bundle < b.Bundle;
  });
  code->Chunks = std::move(chunks);
}

void EncoderWriteTrees(VideoBitWriter* w, const EncoderPlaneCode* code) {
  EncoderWriteCodeTree(w, &code->Trees[VideoBundleBlockTypes]);
  EncoderWriteCodeTree(w, &code->Trees[VideoBundleSubBlockTypes]);
  for (const EncoderTreeChoice& t : code->HighTrees) EncoderWriteCodeTree(w, &t);
  EncoderWriteCodeTree(w, &code->Trees[VideoBundleColours]);
  EncoderWriteCodeTree(w, &code->Trees[VideoBundlePatterns]);
  EncoderWriteCodeTree(w, &code->Trees[VideoBundleXOffsets]);
  EncoderWriteCodeTree(w, &code->Trees[VideoBundleYOffsets]);
  EncoderWriteCodeTree(w, &code->Trees[VideoBundleRuns]);
}

void EncoderWriteSymbol(VideoBitWriter* w, const EncoderPlaneCode* code, uint32_t bundle,
                        uint32_t symbol) {
  EncoderWriteCode(w, code->Trees[bundle].Tree.Table, code->Codes[bundle][symbol]);
}

void EncoderWriteSignedMagnitude(VideoBitWriter* w, int32_t value, uint32_t bits) {
  EncoderWriteBits(w, uint32_t(std::abs(value)), bits);
  if (value != 0) EncoderWriteBits(w, value < 0 ? 1 : 0, 1);
}

void EncoderWriteColour(VideoBitWriter* w, const EncoderPlaneCode* code, uint32_t* lastHigh,
                        uint32_t coded) {
  const uint32_t high = coded >> 4;
  EncoderWriteCode(w, code->HighTrees[*lastHigh].Tree.Table, code->HighCodes[*lastHigh][high]);
  EncoderWriteSymbol(w, code, VideoBundleColours, coded & 15);
  *lastHigh = high;
}

// The first DC whole, then groups of eight differences sharing one magnitude width.
void EncoderWriteDcs(VideoBitWriter* w, uint32_t bundle, const int32_t* v, uint32_t count) {
  if (bundle == VideoBundleDcIntra) {
    EncoderWriteBits(w, uint32_t(v[0]), 11);
  } else {
    EncoderWriteSignedMagnitude(w, v[0], 10);
  }
  for (uint32_t i = 1; i < count; i += 8) {
    const uint32_t groupEnd = count - i < 8 ? count : i + 8;
    uint32_t width = 0;
    for (uint32_t j = i; j < groupEnd; ++j) {
      const uint32_t bits = uint32_t(std::bit_width(uint32_t(std::abs(v[j] - v[j - 1]))));
      if (bits > width) width = bits;
    }
    EncoderWriteBits(w, width, 4);
    if (width == 0) continue;
    for (uint32_t j = i; j < groupEnd; ++j) EncoderWriteSignedMagnitude(w, v[j] - v[j - 1], width);
  }
}

void EncoderWriteChunk(VideoBitWriter* w, const EncoderPlaneBundles* bundles,
                       const EncoderPlaneCode* code, const EncoderChunk& c, uint32_t* lastHigh) {
  uint32_t countBits, capacity;
  VideoBundleLimits(bundles->Width, VideoBundleKind(c.Bundle), &countBits, &capacity);
  const uint32_t count = c.End - c.Begin;
  EncoderWriteBits(w, count, countBits);
  if (count == 0) return;
  const int32_t* v = bundles->Values[c.Bundle].data() + c.Begin;
  if (EncoderHasFillMode(c.Bundle)) EncoderWriteBits(w, c.Fill ? 1 : 0, 1);
  switch (c.Bundle) {
    case VideoBundleBlockTypes:
    case VideoBundleSubBlockTypes:
      if (c.Fill) {
        EncoderWriteBits(w, uint32_t(v[0]), 4);
      } else {
        EncoderBlockTypeSymbols(v, count,
                                [&](uint32_t s) { EncoderWriteSymbol(w, code, c.Bundle, s); });
      }
      break;
    case VideoBundleColours:
      for (uint32_t i = 0; i < (c.Fill ? 1 : count); ++i) {
        EncoderWriteColour(w, code, lastHigh,
                           EncoderCodedColour(uint32_t(v[i]), bundles->OldColours));
      }
      break;
    case VideoBundlePatterns:
      for (uint32_t i = 0; i < count; ++i) {
        EncoderWriteSymbol(w, code, c.Bundle, uint32_t(v[i]) & 15);
        EncoderWriteSymbol(w, code, c.Bundle, (uint32_t(v[i]) >> 4) & 15);
      }
      break;
    case VideoBundleXOffsets:
    case VideoBundleYOffsets:
      if (c.Fill) {
        EncoderWriteSignedMagnitude(w, v[0], 4);
        break;
      }
      for (uint32_t i = 0; i < count; ++i) {
        EncoderWriteSymbol(w, code, c.Bundle, uint32_t(std::abs(v[i])));
        if (v[i] != 0) EncoderWriteBits(w, v[i] < 0 ? 1 : 0, 1);
      }
      break;
    case VideoBundleDcIntra:
    case VideoBundleDcInter:
      EncoderWriteDcs(w, c.Bundle, v, count);
      break;
    case VideoBundleRuns:
      if (c.Fill) {
        EncoderWriteBits(w, uint32_t(v[0]), 4);
      } else {
        for (uint32_t i = 0; i < count; ++i) EncoderWriteSymbol(w, code, c.Bundle, uint32_t(v[i]));
      }
      break;
  }
}

float EncoderAverageBits(const uint64_t counts[16], const EncoderTreeChoice* tree,
                         const uint8_t codes[16], float fallback) {
  uint64_t n = 0, bits = 0;
  for (uint32_t s = 0; s < 16; ++s) {
    n += counts[s];
    bits += counts[s] * VideoCodeLengths[tree->Tree.Table][codes[s]];
  }
  return n ? float(bits) / float(n) : fallback;
}

// Bits of a symbol seen n times out of total, smoothed so that unseen symbols stay affordable.
float EncoderSymbolCost(uint64_t n, uint64_t total) {
  const double bits = -std::log2((double(n) + 1.0) / (double(total) + 16.0));
  return float(bits < 1 ? 1 : (bits > 7 ? 7 : bits));
}

// Moves an estimate halfway towards what this plane showed.
void EncoderBlend(float* estimate, float seen) { *estimate = 0.5f * (*estimate + seen); }

uint64_t EncoderTotal(const uint64_t counts[16]) {
  uint64_t total = 0;
  for (uint32_t s = 0; s < 16; ++s) total += counts[s];
  return total;
}

// Rate estimates for the next frame's decisions: the bits block types took as written (runs of
// one type cost little per block), else their symbol probabilities; the probabilities of the
// motion values; average bits of colours, pattern rows and runs (where enough were written).
void EncoderLearnCosts(const EncoderPlaneBundles* bundles, const EncoderSymbolCounts* counts,
                       const EncoderPlaneCode* code, VideoEncoderCosts* costs) {
  const uint64_t types = EncoderTotal(counts->Bundle[VideoBundleBlockTypes]);
  const uint64_t subTypes = EncoderTotal(counts->Bundle[VideoBundleSubBlockTypes]);
  const uint64_t motion = EncoderTotal(counts->Bundle[VideoBundleXOffsets]);
  // A block type's bits as written, run codes shared among the blocks they cover.
  std::vector<float> bits;
  EncoderValueBits(bundles, code, VideoBundleBlockTypes, &bits);
  double typeBits[16] = {};
  uint32_t typeCount[16] = {};
  const std::vector<int32_t>& v = bundles->Values[VideoBundleBlockTypes];
  for (size_t i = 0, run = 0; i < v.size(); i = run) {
    for (run = i + 1; run < v.size() && bits[run] == 0 && v[run] == v[i]; ++run) {}
    typeBits[v[i] & 15] += bits[i];
    typeCount[v[i] & 15] += uint32_t(run - i);
  }
  for (uint32_t s = 0; s < 16; ++s) {
    const bool written = typeCount[s] >= 16;
    EncoderBlend(&costs->BlockType[s],
                 written ? float(std::max(typeBits[s] / typeCount[s], 0.25))
                         : EncoderSymbolCost(counts->Bundle[VideoBundleBlockTypes][s], types));
    EncoderBlend(&costs->SubType[s],
                 EncoderSymbolCost(counts->Bundle[VideoBundleSubBlockTypes][s], subTypes));
    EncoderBlend(
        &costs->Motion[s],
        EncoderSymbolCost(counts->Bundle[VideoBundleXOffsets][s], motion) + (s ? 1.0f : 0.0f));
  }
  uint64_t colours = 0, highBits = 0;
  for (uint32_t h = 0; h < 16; ++h) {
    for (uint32_t s = 0; s < 16; ++s) {
      colours += counts->High[h][s];
      highBits += counts->High[h][s] *
                  VideoCodeLengths[code->HighTrees[h].Tree.Table][code->HighCodes[h][s]];
    }
  }
  if (colours >= 64) {
    const float low =
        EncoderAverageBits(counts->Bundle[VideoBundleColours], &code->Trees[VideoBundleColours],
                           code->Codes[VideoBundleColours], 4.0f);
    EncoderBlend(&costs->Colour, float(highBits) / float(colours) + low);
  }
  if (EncoderTotal(counts->Bundle[VideoBundlePatterns]) >= 64) {
    EncoderBlend(&costs->Pattern, 2 * EncoderAverageBits(counts->Bundle[VideoBundlePatterns],
                                                         &code->Trees[VideoBundlePatterns],
                                                         code->Codes[VideoBundlePatterns], 4.0f));
  }
  if (EncoderTotal(counts->Bundle[VideoBundleRuns]) >= 32) {
    EncoderBlend(&costs->Run,
                 EncoderAverageBits(counts->Bundle[VideoBundleRuns], &code->Trees[VideoBundleRuns],
                                    code->Codes[VideoBundleRuns], 4.0f));
  }
}

}  // namespace

std::vector<uint8_t> EncoderWritePlane(const EncoderPlaneBundles* bundles,
                                       VideoEncoderCosts* costs) {
  EncoderPlaneCode code;
  EncoderPlanRowChunks(bundles, &code);
  EncoderSymbolCounts counts;
  EncoderCountSymbols(bundles, &code, &counts);
  EncoderChooseTrees(&counts, &code);
  EncoderPlanChunks(bundles, &code);
  EncoderCountSymbols(bundles, &code, &counts);
  EncoderChooseTrees(&counts, &code);
  if (costs) EncoderLearnCosts(bundles, &counts, &code, costs);

  VideoBitWriter w;
  EncoderWriteTrees(&w, &code);
  uint32_t lastHigh = 0;
  size_t next = 0;
  for (uint32_t row = 0; row < bundles->Rows; ++row) {
    for (; next < code.Chunks.size() && code.Chunks[next].Row == row; ++next) {
      EncoderWriteChunk(&w, bundles, &code, code.Chunks[next], &lastHigh);
    }
    EncoderWriteBuffer(&w, &bundles->RowBits[row]);
  }
  return EncoderFinishPlane(&w);
}
